// The Linux body's configuration section: finding it in an ELF file (32- or 64-bit,
// little-endian) and reading or rewriting its entry records.
package org.varnlet.pack;

import static org.varnlet.pack.Bin.fits;
import static org.varnlet.pack.Bin.rd16;
import static org.varnlet.pack.Bin.rd32;
import static org.varnlet.pack.Bin.rd64;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

final class Elf {
    private Elf() {}

    static final String SECTION = ".varnlet_config";

    static final class Record {
        final int id;
        byte[] block;

        Record(int id, byte[] block) {
            this.id = id;
            this.block = block;
        }
    }

    static boolean isElf(byte[] b) {
        return b.length >= 4 && b[0] == 0x7F && b[1] == 'E' && b[2] == 'L' && b[3] == 'F';
    }

    /** {offset, size} of the configuration section in the file. */
    static long[] findSection(byte[] b) throws Pe.Failure {
        if (b.length < 16 || !isElf(b)) throw new Pe.Failure("not an ELF file");
        boolean is64 = b[4] == 2;
        if ((b[4] != 1 && b[4] != 2) || b[5] != 1) throw new Pe.Failure("unsupported ELF file: not little-endian 32- or 64-bit");
        if (b.length < (is64 ? 64 : 52)) throw new Pe.Failure("truncated ELF file: the header is cut short");
        long shoff = is64 ? rd64(b, 40) : rd32(b, 32);
        long shentsize = rd16(b, is64 ? 58 : 46), shnum = rd16(b, is64 ? 60 : 48), shstrndx = rd16(b, is64 ? 62 : 50);
        if (shoff == 0 || shnum == 0) throw new Pe.Failure("ELF file without a section table");
        if (shentsize < (is64 ? 64 : 40)) throw new Pe.Failure("malformed ELF file: section headers are too small");
        if (shoff < 0 || !fits(b.length, shoff, shnum * shentsize)) throw new Pe.Failure("truncated ELF file: the section table lies outside the file");
        if (shstrndx >= shnum) throw new Pe.Failure("malformed ELF file: no section name table");
        long[] names = section(b, shoff + shstrndx * shentsize, is64);
        if (names[1] == 8 || !fits(b.length, names[2], names[3]))
            throw new Pe.Failure("truncated ELF file: the section name table lies outside the file");
        byte[] wanted = SECTION.getBytes(java.nio.charset.StandardCharsets.US_ASCII);
        for (long i = 0; i < shnum; i++) {
            long[] s = section(b, shoff + i * shentsize, is64);
            if (s[0] >= names[3] || names[3] - s[0] <= wanted.length) continue;
            int n = (int) (names[2] + s[0]);
            if (!Arrays.equals(Arrays.copyOfRange(b, n, n + wanted.length), wanted) || b[n + wanted.length] != 0) continue;
            if (s[1] == 8) throw new Pe.Failure("malformed ELF file: section " + SECTION + " has no contents");
            if (s[2] < 0 || !fits(b.length, s[2], s[3])) throw new Pe.Failure("truncated ELF file: section " + SECTION + " lies outside the file");
            return new long[] {s[2], s[3]};
        }
        throw new Pe.Failure("not a varnlet launcher: the ELF file has no " + SECTION + " section");
    }

    /** {name, type, offset, size} of the section header at `at`. */
    private static long[] section(byte[] b, long at, boolean is64) {
        return new long[] {rd32(b, at), rd32(b, at + 4), is64 ? rd64(b, at + 24) : rd32(b, at + 16), is64 ? rd64(b, at + 32) : rd32(b, at + 20)};
    }

    static List<Record> parseSection(byte[] b, int offset, int size) throws Pe.Failure {
        List<Record> records = new ArrayList<>();
        if (size < Rules.CONFIG_SECTION_HEADER_SIZE
                || !Arrays.equals(Arrays.copyOfRange(b, offset, offset + 16), Rules.CONFIG_SECTION_MAGIC))
            throw new Pe.Failure("malformed configuration section: no magic header");
        long pos = Rules.CONFIG_SECTION_HEADER_SIZE;
        for (;;) {
            if (!fits(size, pos, 4)) throw new Pe.Failure("malformed configuration section: no end mark");
            int id = rd16(b, offset + pos), length = rd16(b, offset + pos + 2);
            pos += 4;
            if (id == 0) return records;
            if (!fits(size, pos, length)) throw new Pe.Failure("malformed configuration section: entry " + id + " runs past its end");
            records.add(new Record(id, Arrays.copyOfRange(b, (int) (offset + pos), (int) (offset + pos + length))));
            pos += length;
        }
    }

    static byte[] buildSection(List<Record> records, int size) throws Pe.Failure {
        Bin.Out out = new Bin.Out();
        out.put(Rules.CONFIG_SECTION_MAGIC).put32(size).put32(0);
        for (Record r : records) {
            if (r.block.length > 0xFFFF) throw new Pe.Failure("entry " + r.id + " is too long for the configuration section");
            out.put16(r.id).put16(r.block.length).put(r.block);
        }
        out.put32(0);
        if (out.size() > size)
            throw new Pe.Failure("the entries take " + out.size() + " bytes, more than the " + size + " bytes of the launcher's configuration section");
        out.set32(20, out.size());
        out.resize(size);
        return out.toByteArray();
    }
}
