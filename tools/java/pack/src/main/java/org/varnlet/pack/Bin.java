// Little-endian reads and writes over untrusted bytes (every offset checked with `fits` first),
// a growing byte buffer, and the UTF-8/UTF-16 conversions of the native tool.
package org.varnlet.pack;

import java.io.ByteArrayOutputStream;

final class Bin {
    private Bin() {}

    static boolean fits(long size, long offset, long length) {
        return offset >= 0 && length >= 0 && offset <= size && length <= size - offset;
    }

    static int rd16(byte[] b, long at) {
        int p = (int) at;
        return (b[p] & 0xFF) | (b[p + 1] & 0xFF) << 8;
    }

    static long rd32(byte[] b, long at) {
        return (rd16(b, at) | (long) rd16(b, at + 2) << 16) & 0xFFFFFFFFL;
    }

    static long rd64(byte[] b, long at) {
        return rd32(b, at) | rd32(b, at + 4) << 32;
    }

    static void wr16(byte[] b, long at, long v) {
        b[(int) at] = (byte) v;
        b[(int) at + 1] = (byte) (v >> 8);
    }

    static void wr32(byte[] b, long at, long v) {
        wr16(b, at, v & 0xFFFF);
        wr16(b, at + 2, (v >> 16) & 0xFFFF);
    }

    static long alignUp(long value, long alignment) {
        return alignment != 0 ? (value + alignment - 1) / alignment * alignment : value;
    }

    /** A growing buffer with the native tool's put and pad operations. */
    static final class Out extends ByteArrayOutputStream {
        Out put16(long v) {
            write((int) v);
            write((int) (v >> 8));
            return this;
        }

        Out put32(long v) {
            put16(v & 0xFFFF);
            return put16((v >> 16) & 0xFFFF);
        }

        Out putUtf16(String s) {
            for (int i = 0; i < s.length(); i++) put16(s.charAt(i));
            return this;
        }

        Out put(byte[] b) {
            write(b, 0, b.length);
            return this;
        }

        Out padTo(int alignment) {
            while (size() % alignment != 0) write(0);
            return this;
        }

        void set16(int at, long v) {
            buf[at] = (byte) v;
            buf[at + 1] = (byte) (v >> 8);
        }

        void set32(int at, long v) {
            set16(at, v & 0xFFFF);
            set16(at + 2, (v >> 16) & 0xFFFF);
        }

        void resize(int size) {
            if (size < count) count = size;
            while (count < size) write(0);
        }
    }

    /** UTF-8 from UTF-16 as the native tool writes it: a lone surrogate becomes U+FFFD. */
    static byte[] utf8(String s) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        for (int i = 0; i < s.length(); i++) {
            int c = s.charAt(i);
            if (Character.isHighSurrogate((char) c) && i + 1 < s.length() && Character.isLowSurrogate(s.charAt(i + 1))) {
                c = Character.toCodePoint((char) c, s.charAt(++i));
            } else if (Character.isSurrogate((char) c)) c = 0xFFFD;
            if (c < 0x80) out.write(c);
            else if (c < 0x800) {
                out.write(0xC0 | c >> 6);
                out.write(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                out.write(0xE0 | c >> 12);
                out.write(0x80 | (c >> 6 & 0x3F));
                out.write(0x80 | (c & 0x3F));
            } else {
                out.write(0xF0 | c >> 18);
                out.write(0x80 | (c >> 12 & 0x3F));
                out.write(0x80 | (c >> 6 & 0x3F));
                out.write(0x80 | (c & 0x3F));
            }
        }
        return out.toByteArray();
    }

    /** A UTF-16 text as the native tool prints it (lone surrogates as U+FFFD). */
    static String clean(String s) {
        return new String(utf8(s), java.nio.charset.StandardCharsets.UTF_8);
    }

    /** The length of a text in UTF-8 bytes, as the native tool counts std::string sizes. */
    static int utf8Length(String s) {
        return utf8(s).length;
    }
}
