// System.out and System.err when the launcher keeps their files: each print goes at once to
// the launcher, which writes it to the file (rolling the file over when due) with no buffer
// in between, so what the application handed over survives a crash of the process. A print
// reaches the launcher as one write, however long: the encoder hands its bytes over in 8 KiB
// pieces, and a println in two (the text, the line end), which a roll-over between them would
// split across two files; they are gathered while the print runs.
package varnlet.launcher;

import java.io.ByteArrayOutputStream;
import java.util.Arrays;
import java.util.Locale;

final class LogStream extends java.io.PrintStream {
    private final int slot;
    private int printing;  // prints running on this stream (println runs print within)
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

    // Each print that can reach write in pieces, as one; printf comes to format, and the
    // formatter hands over each piece apart.
    @Override public void print(String s) { synchronized (this) { begin(); try { super.print(s); } finally { end(); } } }
    @Override public void print(char[] s) { synchronized (this) { begin(); try { super.print(s); } finally { end(); } } }
    @Override public void print(Object obj) { synchronized (this) { begin(); try { super.print(obj); } finally { end(); } } }
    @Override public void println(boolean x) { synchronized (this) { begin(); try { super.println(x); } finally { end(); } } }
    @Override public void println(char x) { synchronized (this) { begin(); try { super.println(x); } finally { end(); } } }
    @Override public void println(int x) { synchronized (this) { begin(); try { super.println(x); } finally { end(); } } }
    @Override public void println(long x) { synchronized (this) { begin(); try { super.println(x); } finally { end(); } } }
    @Override public void println(float x) { synchronized (this) { begin(); try { super.println(x); } finally { end(); } } }
    @Override public void println(double x) { synchronized (this) { begin(); try { super.println(x); } finally { end(); } } }
    @Override public void println(char[] x) { synchronized (this) { begin(); try { super.println(x); } finally { end(); } } }
    @Override public void println(String x) { synchronized (this) { begin(); try { super.println(x); } finally { end(); } } }
    @Override public void println(Object x) { synchronized (this) { begin(); try { super.println(x); } finally { end(); } } }
    @Override public LogStream format(String format, Object... args) { synchronized (this) { begin(); try { super.format(format, args); } finally { end(); } } return this; }
    @Override public LogStream format(Locale l, String format, Object... args) { synchronized (this) { begin(); try { super.format(l, format, args); } finally { end(); } } return this; }

    private static native boolean write0(int slot, byte[] b, int off, int len);
}
