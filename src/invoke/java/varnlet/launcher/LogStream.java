// System.out and System.err when the launcher keeps their files: each write goes at once to
// the launcher, which writes it to the file (rolling the file over when due) with no buffer
// in between, so what the application handed over survives a crash of the process.
package varnlet.launcher;

import java.io.IOException;
import java.io.OutputStream;

final class LogStream extends OutputStream {
    private final int slot;

    LogStream(int slot) {
        this.slot = slot;
    }

    @Override
    public void write(int b) throws IOException {
        write(new byte[] {(byte) b}, 0, 1);
    }

    @Override
    public void write(byte[] b, int off, int len) throws IOException {
        if (off < 0 || len < 0 || len > b.length - off) throw new IndexOutOfBoundsException();
        if (len > 0 && !write0(slot, b, off, len)) throw new IOException("the log file refused the write");
    }

    private static native boolean write0(int slot, byte[] b, int off, int len);
}
