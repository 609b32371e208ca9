// PE32 and PE32+ executables: headers, section table and data directories, each checked against
// the file before use, and the rewrite that replaces the resource section.
package org.varnlet.pack;

import static org.varnlet.pack.Bin.alignUp;
import static org.varnlet.pack.Bin.fits;
import static org.varnlet.pack.Bin.rd16;
import static org.varnlet.pack.Bin.rd32;
import static org.varnlet.pack.Bin.wr32;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

final class Pe {
    static final int DIR_RESOURCE = 2, DIR_SECURITY = 4, DIR_BASE_RELOC = 5, DIR_DEBUG = 6;
    static final int SUBSYSTEM_GUI = 2, SUBSYSTEM_CONSOLE = 3;
    private static final long SCN_INITIALIZED_DATA = 0x40, SCN_DISCARDABLE = 0x02000000L;

    static final class Section {
        String name;
        long virtualSize, virtualAddress, rawSize, rawOffset, characteristics;
        int headerOffset;
    }

    static final class Failure extends Exception {
        Failure(String text) {
            super(text, null, false, false);
        }
    }

    byte[] bytes;
    boolean pe32plus;
    int fileHeaderOffset, optionalHeaderOffset, dataDirectoryOffset;
    long dataDirectoryCount, fileAlignment, sectionAlignment, sizeOfHeaders;
    final List<Section> sections = new ArrayList<>();

    static boolean isPe(byte[] b) {
        return b.length >= 2 && b[0] == 'M' && b[1] == 'Z';
    }

    int subsystemOffset() {
        return optionalHeaderOffset + 68;
    }

    private long memoryEnd(Section s) {
        return s.virtualAddress + alignUp(Math.max(s.virtualSize, s.rawSize), sectionAlignment);
    }

    static Pe parse(byte[] b) throws Failure {
        Pe pe = new Pe();
        pe.bytes = b;
        long size = b.length;
        if (!fits(size, 0, 64) || b[0] != 'M' || b[1] != 'Z') throw new Failure("not a PE file: the DOS header is missing or truncated");
        long peOffset = rd32(b, 60);
        if (!fits(size, peOffset, 24)) throw new Failure("truncated PE file: the PE header lies outside the file");
        int p = (int) peOffset;
        if (b[p] != 'P' || b[p + 1] != 'E' || b[p + 2] != 0 || b[p + 3] != 0) throw new Failure("not a PE file: no PE signature");
        pe.fileHeaderOffset = p + 4;
        int sectionCount = rd16(b, pe.fileHeaderOffset + 2), optionalSize = rd16(b, pe.fileHeaderOffset + 16);
        pe.optionalHeaderOffset = pe.fileHeaderOffset + 20;
        if (!fits(size, pe.optionalHeaderOffset, optionalSize)) throw new Failure("truncated PE file: the optional header lies outside the file");
        if (optionalSize < 2) throw new Failure("malformed PE file: no optional header");
        int oh = pe.optionalHeaderOffset, magic = rd16(b, oh);
        if (magic == 0x10b) pe.pe32plus = false;
        else if (magic == 0x20b) pe.pe32plus = true;
        else throw new Failure("malformed PE file: unknown optional header magic");
        int countAt = pe.pe32plus ? 108 : 92;
        if (optionalSize < countAt + 4) throw new Failure("truncated PE file: the optional header is too short");
        pe.sectionAlignment = rd32(b, oh + 32);
        pe.fileAlignment = rd32(b, oh + 36);
        pe.sizeOfHeaders = rd32(b, oh + 60);
        pe.dataDirectoryCount = Math.min(rd32(b, oh + countAt), 16);
        pe.dataDirectoryOffset = oh + countAt + 4;
        if (countAt + 4 + 8 * pe.dataDirectoryCount > optionalSize)
            throw new Failure("malformed PE file: the data directory table does not fit the optional header");
        boolean powerOfTwo = (pe.fileAlignment & (pe.fileAlignment - 1)) == 0 && (pe.sectionAlignment & (pe.sectionAlignment - 1)) == 0;
        if (!powerOfTwo || pe.fileAlignment < 512 || pe.fileAlignment > 65536 || pe.sectionAlignment < pe.fileAlignment)
            throw new Failure("malformed PE file: unusual file or section alignment");
        if (pe.sizeOfHeaders > size) throw new Failure("truncated PE file: the headers are larger than the file");
        long table = pe.optionalHeaderOffset + optionalSize;
        if (sectionCount == 0 || sectionCount > 96) throw new Failure("malformed PE file: bad number of sections");
        if (!fits(size, table, sectionCount * 40L)) throw new Failure("truncated PE file: the section table lies outside the file");
        if (table + sectionCount * 40L > pe.sizeOfHeaders) throw new Failure("malformed PE file: the section table is not inside the headers");
        for (int i = 0; i < sectionCount; i++) {
            int s = (int) (table + 40L * i);
            Section section = new Section();
            int n = 0;
            while (n < 8 && b[s + n] != 0) n++;
            section.name = new String(b, s, n, java.nio.charset.StandardCharsets.ISO_8859_1);
            section.virtualSize = rd32(b, s + 8);
            section.virtualAddress = rd32(b, s + 12);
            section.rawSize = rd32(b, s + 16);
            section.rawOffset = rd32(b, s + 20);
            section.characteristics = rd32(b, s + 36);
            section.headerOffset = s;
            if (section.rawSize != 0 && !fits(size, section.rawOffset, section.rawSize))
                throw new Failure("truncated PE file: section " + section.name + " lies outside the file");
            if (section.rawSize != 0 && section.rawOffset < pe.sizeOfHeaders)
                throw new Failure("malformed PE file: section " + section.name + " overlaps the headers");
            if (section.virtualAddress < pe.sizeOfHeaders)
                throw new Failure("malformed PE file: section " + section.name + " overlaps the headers in memory");
            pe.sections.add(section);
        }
        for (int i = 0; i < pe.sections.size(); i++) {
            Section s = pe.sections.get(i);
            if (i > 0 && pe.memoryEnd(pe.sections.get(i - 1)) > s.virtualAddress)
                throw new Failure("malformed PE file: sections " + pe.sections.get(i - 1).name + " and " + s.name + " overlap in memory");
            if (pe.memoryEnd(s) > 0xFFFFFFFFL) throw new Failure("malformed PE file: section " + s.name + " ends beyond 4 GB");
            for (int j = i + 1; j < pe.sections.size() && s.rawSize != 0; j++) {
                Section t = pe.sections.get(j);
                if (t.rawSize != 0 && s.rawOffset < t.rawOffset + t.rawSize && t.rawOffset < s.rawOffset + s.rawSize)
                    throw new Failure("malformed PE file: sections " + s.name + " and " + t.name + " overlap in the file");
            }
        }
        return pe;
    }

    /** {rva, size} of a data directory, or null when it is missing or empty. */
    long[] directory(int index) {
        if (index >= dataDirectoryCount) return null;
        int p = (int) (dataDirectoryOffset + 8L * index);
        long rva = rd32(bytes, p), size = rd32(bytes, p + 4);
        return rva != 0 || size != 0 ? new long[] {rva, size} : null;
    }

    private void setDirectory(int index, long rva, long size) {
        int p = (int) (dataDirectoryOffset + 8L * index);
        wr32(bytes, p, rva);
        wr32(bytes, p + 4, size);
    }

    int sectionContaining(long rva) {
        for (int i = 0; i < sections.size(); i++) {
            Section s = sections.get(i);
            if (rva >= s.virtualAddress && rva - s.virtualAddress < Math.max(s.virtualSize, s.rawSize)) return i;
        }
        return -1;
    }

    long rvaToOffset(long rva, long length) {
        int i = sectionContaining(rva);
        if (i < 0) return -1;
        Section s = sections.get(i);
        long within = rva - s.virtualAddress;
        if (!fits(s.rawSize, within, length)) return -1;
        return s.rawOffset + within;
    }

    int resourceSection() throws Failure {
        long[] d = directory(DIR_RESOURCE);
        if (d == null) throw new Failure("the executable has no resources");
        int i = sectionContaining(d[0]);
        if (i < 0) throw new Failure("malformed PE file: the resource directory lies outside every section");
        Section s = sections.get(i);
        if (d[0] != s.virtualAddress) throw new Failure("unsupported PE file: the resources do not start their own section");
        if (s.rawSize == 0 || d[1] > Math.max(s.virtualSize, s.rawSize))
            throw new Failure("malformed PE file: the resource directory lies outside its section");
        return i;
    }

    static long checksum(byte[] b, int skip) {
        long sum = 0;
        int n = b.length;
        for (int i = 0; i < n; i += 2) {
            if (i == skip || i == skip + 2) continue;
            long word = (b[i] & 0xFF) | (i + 1 < n ? (b[i + 1] & 0xFF) << 8 : 0);
            sum += word;
            sum = (sum & 0xFFFF) + (sum >> 16);
        }
        sum = (sum & 0xFFFF) + (sum >> 16);
        return (sum + n) & 0xFFFFFFFFL;
    }

    private int symbolTableOffset() {
        return fileHeaderOffset + 8;
    }

    /** Removes an Authenticode certificate table; true when there was one. */
    boolean removeSignature() throws Failure {
        long[] d = directory(DIR_SECURITY);
        if (d == null) return false;
        long offset = d[0], size = d[1];
        if (!fits(bytes.length, offset, size)) throw new Failure("malformed PE file: the signature lies outside the file");
        for (Section s : sections)
            if (s.rawSize != 0 && offset < s.rawOffset + s.rawSize)
                throw new Failure("malformed PE file: the signature overlaps section " + s.name);
        boolean atEnd = offset + size == bytes.length;
        byte[] out = new byte[(int) (bytes.length - size)];
        System.arraycopy(bytes, 0, out, 0, (int) offset);
        System.arraycopy(bytes, (int) (offset + size), out, (int) offset, (int) (bytes.length - offset - size));
        bytes = out;
        long sectionsEnd = 0;
        for (Section s : sections) sectionsEnd = Math.max(sectionsEnd, s.rawOffset + s.rawSize);
        long symbols = rd32(bytes, symbolTableOffset());
        if (atEnd && symbols == 0 && sectionsEnd < offset && offset - sectionsEnd < 8) {
            boolean zeros = true;
            for (long i = sectionsEnd; i < bytes.length; i++) zeros &= bytes[(int) i] == 0;
            if (zeros) bytes = Arrays.copyOf(bytes, (int) sectionsEnd);
        }
        if (symbols > offset) wr32(bytes, symbolTableOffset(), symbols >= offset + size ? symbols - size : 0);
        setDirectory(DIR_SECURITY, 0, 0);
        return true;
    }

    private void relocationsClearOf(long movedFrom) throws Failure {
        long[] d = directory(DIR_BASE_RELOC);
        if (d == null) return;
        long offset = rvaToOffset(d[0], d[1]);
        if (offset < 0) throw new Failure("malformed PE file: the relocation table lies outside its section");
        long size = d[1];
        for (long pos = 0; pos + 8 <= size;) {
            long page = rd32(bytes, offset + pos), blockSize = rd32(bytes, offset + pos + 4);
            if (blockSize < 8 || blockSize > size - pos) throw new Failure("malformed PE file: bad relocation block");
            for (long k = pos + 8; k + 2 <= pos + blockSize; k += 2) {
                int entry = rd16(bytes, offset + k);
                if ((entry >> 12) != 0 && page + (entry & 0xFFF) >= movedFrom)
                    throw new Failure("unsupported PE file: relocations patch a section after the resources");
            }
            pos += blockSize;
        }
    }

    private void adjustDebugDirectory(long movedFrom, long vaDelta, long fileFrom, long fileDelta) throws Failure {
        long[] d = directory(DIR_DEBUG);
        if (d == null) return;
        long offset = rvaToOffset(d[0], d[1]);
        if (offset < 0) throw new Failure("malformed PE file: the debug directory lies outside its section");
        for (long pos = 0; pos + 28 <= d[1]; pos += 28) {
            long e = offset + pos, address = rd32(bytes, e + 20), pointer = rd32(bytes, e + 24);
            if (address != 0 && address >= movedFrom) wr32(bytes, e + 20, address + vaDelta);
            if (pointer != 0 && pointer >= fileFrom) wr32(bytes, e + 24, pointer + fileDelta);
        }
    }

    /** Puts `data` (laid out for the section's address) in place of the resource section. */
    void replaceResourceSection(byte[] data) throws Failure {
        int r = resourceSection();
        Section rsrc = sections.get(r);
        long rsrcRawOffset = rsrc.rawOffset, rsrcRawSize = rsrc.rawSize, rsrcVa = rsrc.virtualAddress;
        long oldVirtualEnd = memoryEnd(rsrc);
        long newVirtualEnd = rsrcVa + alignUp(data.length, sectionAlignment);
        long vaDelta = newVirtualEnd > oldVirtualEnd ? newVirtualEnd - oldVirtualEnd : 0;
        long oldFileEnd = Math.min(alignUp(rsrcRawOffset + rsrcRawSize, fileAlignment), bytes.length);
        long newRawSize = alignUp(data.length, fileAlignment);
        long newFileEnd = rsrcRawOffset + newRawSize;
        long fileDelta = newFileEnd - oldFileEnd;
        if (newVirtualEnd > 0x7FFFFFFFL || bytes.length + newRawSize > 0x7FFFFFFFL) throw new Failure("the resources are too large");
        for (int i = 0; i < sections.size(); i++) {
            Section s = sections.get(i);
            if (i != r && s.rawSize != 0 && s.rawOffset >= rsrcRawOffset && s.rawOffset < oldFileEnd)
                throw new Failure("malformed PE file: section " + s.name + " overlaps the resources in the file");
        }
        for (int d = 0; d < dataDirectoryCount; d++) {
            long[] dir = d == DIR_RESOURCE || d == DIR_SECURITY ? null : directory(d);
            if (dir == null) continue;
            int at = sectionContaining(dir[0]);
            if (at == r) throw new Failure("unsupported PE file: the resource section holds other data as well");
            if (vaDelta != 0 && at > r && d != DIR_BASE_RELOC && d != DIR_DEBUG)
                throw new Failure("unsupported PE file: the resources cannot grow, section " + sections.get(at).name + " after them holds program data");
        }
        if (vaDelta != 0) {
            for (int i = r + 1; i < sections.size(); i++) {
                Section s = sections.get(i);
                if ((s.characteristics & SCN_DISCARDABLE) == 0 && !s.name.equals(".reloc"))
                    throw new Failure("unsupported PE file: the resources cannot grow, section " + s.name + " follows them");
            }
            relocationsClearOf(oldVirtualEnd);
        }
        adjustDebugDirectory(oldVirtualEnd, vaDelta, oldFileEnd, fileDelta);

        byte[] out = new byte[(int) (newFileEnd + bytes.length - oldFileEnd)];
        System.arraycopy(bytes, 0, out, 0, (int) rsrcRawOffset);
        System.arraycopy(data, 0, out, (int) rsrcRawOffset, data.length);
        System.arraycopy(bytes, (int) oldFileEnd, out, (int) newFileEnd, (int) (bytes.length - oldFileEnd));
        bytes = out;

        for (int i = 0; i < sections.size(); i++) {
            Section s = sections.get(i);
            if (i == r) {
                s.virtualSize = data.length;
                s.rawSize = newRawSize;
            } else {
                if (s.rawSize != 0 && s.rawOffset >= oldFileEnd) s.rawOffset += fileDelta;
                if (i > r) s.virtualAddress += vaDelta;
            }
            wr32(bytes, s.headerOffset + 8, s.virtualSize);
            wr32(bytes, s.headerOffset + 12, s.virtualAddress);
            wr32(bytes, s.headerOffset + 16, s.rawSize);
            wr32(bytes, s.headerOffset + 20, s.rawOffset);
        }
        setDirectory(DIR_RESOURCE, rsrcVa, data.length);
        long[] d;
        if (vaDelta != 0 && (d = directory(DIR_BASE_RELOC)) != null && d[0] >= oldVirtualEnd) setDirectory(DIR_BASE_RELOC, d[0] + vaDelta, d[1]);
        if (vaDelta != 0 && (d = directory(DIR_DEBUG)) != null && d[0] >= oldVirtualEnd) setDirectory(DIR_DEBUG, d[0] + vaDelta, d[1]);
        long symbols = rd32(bytes, symbolTableOffset());
        if (symbols >= oldFileEnd) wr32(bytes, symbolTableOffset(), symbols + fileDelta);
        if ((rsrc.characteristics & SCN_INITIALIZED_DATA) != 0) {
            int p = optionalHeaderOffset + 8;
            wr32(bytes, p, rd32(bytes, p) + (newRawSize - rsrcRawSize));
        }
        long imageEnd = 0;
        for (Section s : sections) imageEnd = Math.max(imageEnd, memoryEnd(s));
        wr32(bytes, optionalHeaderOffset + 56, alignUp(imageEnd, sectionAlignment));
        int sumAt = optionalHeaderOffset + 64;
        wr32(bytes, sumAt, 0);
        wr32(bytes, sumAt, checksum(bytes, sumAt));
    }
}
