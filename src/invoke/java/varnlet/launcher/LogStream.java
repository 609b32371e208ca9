// System.out and System.err when the launcher keeps their files: each print goes at once to
// the launcher, which writes it to the file (rolling the file over when due) with no buffer
// in between, so what the application handed over survives a crash of the process. A print
// reaches the launcher as one write, however long, so that no roll-over (nor another process
// writing to the same log) comes between its parts: a println gives its text and line end as
// one, and a long print or a printf, which reach write below in pieces (the encoder's 8 KiB,
// the formatter's pieces), are gathered while they run.
package varnlet.launcher;

import java.io.ByteArrayOutputStream;
import java.util.Arrays;
import java.util.Locale;

final class LogStream extends java.io.PrintStream {
    // A print reaches write below in one piece up to this length: the encoder hands over 8 KiB
    // at a time, and no character takes more than 4 bytes.
    private static final int ONE_PIECE = 1024;
    private static final String LINE_END = System.lineSeparator();

    private final int slot;
    private int printing;  // gathering prints running on this stream (format runs print within)
    private byte[] gathered = new byte[0];
    private int gatheredLength;

    LogStream(int slot) {
        // Every byte comes to write below; the stream given here is never written.
        super(new ByteArrayOutputStream(0));
        this.slot = slot;
    }

    @Override
    public void write(int b) {
        write(new byte[] {(byte) b}, 0, 1);
    }

    @Override
    public void write(byte[] b, int off, int len) {
        if (off < 0 || len < 0 || len > b.length - off) throw new IndexOutOfBoundsException();
        synchronized (this) {
            if (out == null) {  // closed
                setError();
            } else if (printing > 0) {
                if (gatheredLength + len > gathered.length)
                    gathered = Arrays.copyOf(gathered, Math.max(gatheredLength + len, 2 * gathered.length));
                System.arraycopy(b, off, gathered, gatheredLength, len);
                gatheredLength += len;
            } else if (len > 0 && !write0(slot, b, off, len)) {
                setError();
            }
        }
    }

    @Override
    public void flush() {}  // nothing is held between prints

    // Called holding the stream's lock.
    private void begin() {
        ++printing;
    }

    private void end() {
        if (--printing > 0 || gatheredLength == 0) return;
        if (!write0(slot, gathered, 0, gatheredLength)) setError();
        gatheredLength = 0;
        if (gathered.length > 65536) gathered = new byte[0];  // one long print keeps no memory
    }

    @Override
    public void print(String s) {
        if (s == null || s.length() <= ONE_PIECE) {
            super.print(s);
            return;
        }
        synchronized (this) {
            begin();
            try {
                super.print(s);
            } finally {
                end();
            }
        }
    }

    // printf comes to format.
    @Override public void print(char[] s) { print(new String(s)); }
    @Override public void print(Object obj) { print(String.valueOf(obj)); }
    @Override public void println(boolean x) { print(String.valueOf(x).concat(LINE_END)); }
    @Override public void println(char x) { print(String.valueOf(x).concat(LINE_END)); }
    @Override public void println(int x) { print(String.valueOf(x).concat(LINE_END)); }
    @Override public void println(long x) { print(String.valueOf(x).concat(LINE_END)); }
    @Override public void println(float x) { print(String.valueOf(x).concat(LINE_END)); }
    @Override public void println(double x) { print(String.valueOf(x).concat(LINE_END)); }
    @Override public void println(char[] x) { print(String.valueOf(x).concat(LINE_END)); }
    @Override public void println(String x) { print(String.valueOf(x).concat(LINE_END)); }
    @Override public void println(Object x) { print(String.valueOf(x).concat(LINE_END)); }
    @Override public LogStream format(String format, Object... args) { synchronized (this) { begin(); try { super.format(format, args); } finally { end(); } } return this; }
    @Override public LogStream format(Locale l, String format, Object... args) { synchronized (this) { begin(); try { super.format(l, format, args); } finally { end(); } } return this; }

    private static native boolean write0(int slot, byte[] b, int off, int len);
}
