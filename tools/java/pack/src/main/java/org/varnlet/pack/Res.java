// Windows resources: the section's three-level tree as a flat list of items, icons and group
// icons, the version information (VS_VERSIONINFO) and the manifest's execution level and DPI
// settings.
package org.varnlet.pack;

import static org.varnlet.pack.Bin.alignUp;
import static org.varnlet.pack.Bin.fits;
import static org.varnlet.pack.Bin.rd16;
import static org.varnlet.pack.Bin.rd32;

import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.IdentityHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;

final class Res {
    private Res() {}

    static final int RT_ICON = 3, RT_STRING = 6, RT_MESSAGE_TABLE = 11, RT_GROUP_ICON = 14, RT_VERSION = 16, RT_MANIFEST = 24;

    /** A resource type or name: a number, or a text compared without regard to ASCII letter case. */
    static final class Name {
        final boolean isId;
        final int id;
        final String text;

        Name(int id) {
            isId = true;
            this.id = id;
            text = "";
        }

        Name(String text) {
            isId = false;
            id = 0;
            this.text = text;
        }

        int compareTo(Name b) {
            if (isId != b.isId) return isId ? 1 : -1;
            if (isId) return Integer.compare(id, b.id);
            int n = Math.min(text.length(), b.text.length());
            for (int i = 0; i < n; i++) {
                char x = upper(text.charAt(i)), y = upper(b.text.charAt(i));
                if (x != y) return x < y ? -1 : 1;
            }
            return Integer.compare(text.length(), b.text.length());
        }

        private static char upper(char c) {
            return c >= 'a' && c <= 'z' ? (char) (c - 32) : c;
        }

        boolean same(Name b) {
            return compareTo(b) == 0;
        }

        boolean isId(int value) {
            return isId && id == value;
        }

        String describe() {
            if (isId) return Integer.toString(id);
            StringBuilder s = new StringBuilder("\"");
            for (int i = 0; i < text.length(); i++) s.append(text.charAt(i) < 0x80 ? text.charAt(i) : '?');
            return s.append('"').toString();
        }
    }

    static final class Item {
        Name type, name;
        int language;
        long codePage;
        byte[] data;

        Item(Name type, Name name, int language, byte[] data) {
            this.type = type;
            this.name = name;
            this.language = language;
            this.data = data;
        }
    }

    static final class Failure extends Exception {
        Failure(String text) {
            super(text, null, false, false);
        }
    }

    // ---- the tree

    static List<Item> parseTree(byte[] file, long start, long size, long rva) throws Failure {
        List<Item> items = new ArrayList<>();
        Set<Long> visited = new HashSet<>();
        readDirectory(file, start, size, rva, 0, 0, new Item(null, null, 0, null), items, visited);
        return items;
    }

    private static Failure malformed(String text) {
        return new Failure("malformed resources: " + text);
    }

    private static Name readName(byte[] f, long start, long size, long field) throws Failure {
        if ((field & 0x80000000L) == 0) {
            if (field > 0xFFFF) throw malformed("resource id out of range");
            return new Name((int) field);
        }
        long at = field & 0x7FFFFFFFL;
        if (!fits(size, at, 2)) throw malformed("a resource name lies outside the section");
        int n = rd16(f, start + at);
        if (!fits(size, at + 2, 2L * n)) throw malformed("a resource name lies outside the section");
        StringBuilder s = new StringBuilder();
        for (int i = 0; i < n; i++) s.append((char) rd16(f, start + at + 2 + 2L * i));
        return new Name(s.toString());
    }

    private static void readDirectory(byte[] f, long start, long size, long rva, long at, int level, Item path, List<Item> items,
            Set<Long> visited) throws Failure {
        if (!visited.add(at)) throw malformed("a resource directory is reached twice");
        if (!fits(size, at, 16)) throw malformed("a resource directory lies outside the section");
        long count = rd16(f, start + at + 12) + (long) rd16(f, start + at + 14);
        if (!fits(size, at + 16, 8 * count)) throw malformed("a resource directory lies outside the section");
        for (long i = 0; i < count; i++) {
            long e = start + at + 16 + 8 * i;
            long nameField = rd32(f, e), target = rd32(f, e + 4);
            Name name = readName(f, start, size, nameField);
            if (level == 0) path.type = name;
            else if (level == 1) path.name = name;
            else {
                if (!name.isId) throw malformed("a resource language is a name");
                path.language = name.id;
            }
            boolean isDirectory = (target & 0x80000000L) != 0;
            if (isDirectory != (level < 2)) throw malformed("the resource tree does not have three levels");
            if (isDirectory) readDirectory(f, start, size, rva, target & 0x7FFFFFFFL, level + 1, path, items, visited);
            else {
                if (!visited.add(target | 0x80000000L)) throw malformed("a resource data entry is reached twice");
                if (!fits(size, target, 16)) throw malformed("a resource data entry lies outside the section");
                long dataRva = rd32(f, start + target), dataSize = rd32(f, start + target + 4);
                if (dataRva < rva || !fits(size, dataRva - rva, dataSize))
                    throw malformed("the data of resource " + path.type.describe() + "/" + path.name.describe() + " lies outside the resource section");
                if (items.size() >= 65536) throw malformed("too many resources");
                int from = (int) (start + dataRva - rva);
                Item item = new Item(path.type, path.name, path.language, java.util.Arrays.copyOfRange(f, from, from + (int) dataSize));
                item.codePage = rd32(f, start + target + 8);
                items.add(item);
            }
        }
    }

    private static final class Node {
        final Name key;
        final List<Node> children = new ArrayList<>();
        Item item;

        Node(Name key) {
            this.key = key;
        }

        Node child(Name k) {
            for (Node c : children)
                if (c.key.same(k)) return c;
            Node n = new Node(k);
            children.add(n);
            return n;
        }

        void sort() {
            children.sort((a, b) -> a.key.compareTo(b.key));
            for (Node c : children) c.sort();
        }
    }

    /** Lays out a resource section for address `rva`: names before ids, both ascending. */
    static byte[] buildTree(List<Item> items, long rva) {
        Node root = new Node(null);
        for (Item item : items) root.child(item.type).child(item.name).child(new Name(item.language)).item = item;
        root.sort();
        List<Node> directories = new ArrayList<>();
        directories.add(root);
        for (int i = 0; i < directories.size(); i++) {
            Node d = directories.get(i);
            if (d.children.isEmpty() || d.children.get(0).item == null) directories.addAll(d.children);
        }
        Map<Node, Integer> dirOffset = new IdentityHashMap<>(), leafOffset = new IdentityHashMap<>(), nameOffset = new IdentityHashMap<>();
        int pos = 0;
        for (Node d : directories) {
            dirOffset.put(d, pos);
            pos += 16 + 8 * d.children.size();
        }
        List<Node> leaves = new ArrayList<>();
        for (Node d : directories)
            for (Node c : d.children)
                if (c.item != null) leaves.add(c);
        for (Node l : leaves) {
            leafOffset.put(l, pos);
            pos += 16;
        }
        Bin.Out strings = new Bin.Out();
        for (Node d : directories)
            for (Node c : d.children)
                if (!c.key.isId) {
                    nameOffset.put(c, pos + strings.size());
                    strings.put16(c.key.text.length()).putUtf16(c.key.text);
                }
        Bin.Out out = new Bin.Out();
        out.resize(pos);
        out.put(strings.toByteArray()).padTo(8);
        for (Node l : leaves) {
            int e = leafOffset.get(l);
            out.set32(e, rva + out.size());
            out.set32(e + 4, l.item.data.length);
            out.set32(e + 8, l.item.codePage);
            out.put(l.item.data).padTo(8);
        }
        for (Node d : directories) {
            int h = dirOffset.get(d), named = 0;
            for (Node c : d.children) named += c.key.isId ? 0 : 1;
            out.set16(h + 12, named);
            out.set16(h + 14, d.children.size() - named);
            for (int i = 0; i < d.children.size(); i++) {
                Node c = d.children.get(i);
                int e = h + 16 + 8 * i;
                out.set32(e, c.key.isId ? c.key.id : (0x80000000L | nameOffset.get(c)));
                out.set32(e + 4, c.item != null ? leafOffset.get(c) : (0x80000000L | dirOffset.get(c)));
            }
        }
        return out.toByteArray();
    }

    // ---- icons

    /** Width, height, colors, planes and bit count of an icon image, as .ico files and group icons list them. */
    static class IconFormat {
        int width, height, colors, planes, bitCount;

        void read(byte[] b, int e) {
            width = b[e] & 0xFF;
            height = b[e + 1] & 0xFF;
            colors = b[e + 2] & 0xFF;
            planes = rd16(b, e + 4);
            bitCount = rd16(b, e + 6);
        }
    }

    static final class IconImage extends IconFormat {
        byte[] data;
    }

    static final class GroupEntry extends IconFormat {
        long bytes;
        int id;

        String describe() {
            return (width != 0 ? width : 256) + "x" + (height != 0 ? height : 256) + " " + bitCount + "-bit";
        }
    }

    static List<IconImage> parseIco(byte[] file) throws Failure {
        if (file.length < 6 || rd16(file, 0) != 0 || rd16(file, 2) != 1) throw new Failure("not an icon file (no icon header)");
        int count = rd16(file, 4);
        if (count == 0 || count > 256) throw new Failure("not a usable icon file: it holds " + count + " images");
        if (!fits(file.length, 6, 16L * count)) throw new Failure("truncated icon file: the image list is cut short");
        List<IconImage> images = new ArrayList<>();
        for (int i = 0; i < count; i++) {
            int e = 6 + 16 * i;
            long size = rd32(file, e + 8), offset = rd32(file, e + 12);
            String which = "image " + (i + 1);
            if (size < 8 || !fits(file.length, offset, size)) throw new Failure("truncated icon file: " + which + " lies outside the file");
            int o = (int) offset;
            boolean png = (file[o] & 0xFF) == 0x89 && file[o + 1] == 'P' && file[o + 2] == 'N' && file[o + 3] == 'G' && file[o + 4] == 0x0D
                    && file[o + 5] == 0x0A && file[o + 6] == 0x1A && file[o + 7] == 0x0A;
            boolean dib = size >= 40 && rd32(file, o) == 40;
            if (!png && !dib) throw new Failure("not an icon file: " + which + " is neither a bitmap nor a PNG image");
            IconImage image = new IconImage();
            image.read(file, e);
            if (dib && image.bitCount == 0) image.bitCount = rd16(file, o + 14);
            if (image.planes == 0) image.planes = 1;
            image.data = java.util.Arrays.copyOfRange(file, o, o + (int) size);
            images.add(image);
        }
        return images;
    }

    static byte[] buildGroupIcon(List<IconImage> images, List<Integer> ids) {
        Bin.Out out = new Bin.Out();
        out.put16(0).put16(1).put16(images.size());
        for (int i = 0; i < images.size(); i++) {
            IconImage im = images.get(i);
            out.write(im.width);
            out.write(im.height);
            out.write(im.colors);
            out.write(0);
            out.put16(im.planes).put16(im.bitCount).put32(im.data.length).put16(ids.get(i));
        }
        return out.toByteArray();
    }

    static List<GroupEntry> parseGroupIcon(byte[] data) throws Failure {
        if (data.length < 6 || rd16(data, 2) != 1) throw new Failure("malformed group icon");
        int count = rd16(data, 4);
        if (!fits(data.length, 6, 14L * count)) throw new Failure("malformed group icon: the image list is cut short");
        List<GroupEntry> entries = new ArrayList<>();
        for (int i = 0; i < count; i++) {
            int e = 6 + 14 * i;
            GroupEntry g = new GroupEntry();
            g.read(data, e);
            g.bytes = rd32(data, e + 8);
            g.id = rd16(data, e + 12);
            entries.add(g);
        }
        return entries;
    }

    // ---- version information

    static final class Version {
        int[] fileVersion = new int[4], productVersion = new int[4];
        long fileFlagsMask = 0x3F, fileFlags = 0, fileOs = 0x40004, fileType = 1, fileSubtype = 0, dateHigh = 0, dateLow = 0;
        String tableKey = "040904B0";
        final List<String[]> strings = new ArrayList<>();
        final List<Long> translations = new ArrayList<>();

        void set(String key, String value) {
            for (String[] s : strings)
                if (s[0].equals(key)) {
                    s[1] = value;
                    return;
                }
            strings.add(new String[] {key, value});
        }
    }

    private static final long FIXED_SIGNATURE = 0xFEEF04BDL;

    private static final class VNode {
        int start, end, value, valueLength, type, children;
        String key;
    }

    private static VNode readNode(byte[] d, int at, int limit) {
        if (!fits(limit, at, 6)) return null;
        int length = rd16(d, at);
        if (length < 6 || !fits(limit, at, length)) return null;
        VNode n = new VNode();
        n.start = at;
        n.end = at + length;
        n.valueLength = rd16(d, at + 2);
        n.type = rd16(d, at + 4);
        StringBuilder key = new StringBuilder();
        int pos = at + 6;
        for (;;) {
            if (pos + 2 > n.end) return null;
            char c = (char) rd16(d, pos);
            pos += 2;
            if (c == 0) break;
            key.append(c);
        }
        n.key = key.toString();
        n.value = (int) Math.min(alignUp(pos, 4), n.end);
        int valueBytes = n.type == 1 ? 2 * n.valueLength : n.valueLength;
        n.children = (int) Math.min(alignUp(n.value + Math.min(valueBytes, n.end - n.value), 4), n.end);
        return n;
    }

    private static String readText(byte[] d, int from, int end) {
        StringBuilder s = new StringBuilder();
        for (int p = from; p + 2 <= end; p += 2) {
            char c = (char) rd16(d, p);
            if (c == 0) break;
            s.append(c);
        }
        return s.toString();
    }

    static Version parseVersion(byte[] d) throws Failure {
        Version info = new Version();
        VNode root = readNode(d, 0, d.length);
        if (root == null || !root.key.equals("VS_VERSION_INFO")) throw new Failure("malformed version information");
        if (root.valueLength >= 52 && fits(root.end, root.value, 52) && rd32(d, root.value) == FIXED_SIGNATURE) {
            int f = root.value;
            long fms = rd32(d, f + 8), fls = rd32(d, f + 12), pms = rd32(d, f + 16), pls = rd32(d, f + 20);
            info.fileVersion = new int[] {(int) (fms >> 16), (int) (fms & 0xFFFF), (int) (fls >> 16), (int) (fls & 0xFFFF)};
            info.productVersion = new int[] {(int) (pms >> 16), (int) (pms & 0xFFFF), (int) (pls >> 16), (int) (pls & 0xFFFF)};
            info.fileFlagsMask = rd32(d, f + 24);
            info.fileFlags = rd32(d, f + 28);
            info.fileOs = rd32(d, f + 32);
            info.fileType = rd32(d, f + 36);
            info.fileSubtype = rd32(d, f + 40);
            info.dateHigh = rd32(d, f + 44);
            info.dateLow = rd32(d, f + 48);
        }
        boolean tableSeen = false;
        for (int at = root.children; at < root.end;) {
            VNode block = readNode(d, at, root.end);
            if (block == null) break;
            if (block.key.equals("StringFileInfo")) {
                for (int t = block.children; t < block.end;) {
                    VNode table = readNode(d, t, block.end);
                    if (table == null) break;
                    if (!tableSeen) {
                        tableSeen = true;
                        info.tableKey = table.key;
                        for (int s = table.children; s < table.end;) {
                            VNode str = readNode(d, s, table.end);
                            if (str == null) break;
                            info.strings.add(new String[] {str.key, readText(d, str.value, str.end)});
                            s = (int) alignUp(str.end, 4);
                        }
                    }
                    t = (int) alignUp(table.end, 4);
                }
            } else if (block.key.equals("VarFileInfo")) {
                for (int v = block.children; v < block.end;) {
                    VNode var = readNode(d, v, block.end);
                    if (var == null) break;
                    if (var.key.equals("Translation"))
                        for (int p = var.value; p + 4 <= var.value + var.valueLength && p + 4 <= var.end; p += 4) info.translations.add(rd32(d, p));
                    v = (int) alignUp(var.end, 4);
                }
            }
            at = (int) alignUp(block.end, 4);
        }
        return info;
    }

    private static void writeNode(Bin.Out out, String key, int type, byte[] value, int valueLength, Runnable body) {
        out.padTo(4);
        int start = out.size();
        out.put16(0).put16(valueLength).put16(type).putUtf16(key).put16(0).padTo(4).put(value);
        body.run();
        out.set16(start, out.size() - start);
    }

    static byte[] buildVersion(Version info) {
        Bin.Out fixed = new Bin.Out();
        fixed.put32(FIXED_SIGNATURE).put32(0x00010000);
        fixed.put32((long) info.fileVersion[0] << 16 | info.fileVersion[1]).put32((long) info.fileVersion[2] << 16 | info.fileVersion[3]);
        fixed.put32((long) info.productVersion[0] << 16 | info.productVersion[1]).put32((long) info.productVersion[2] << 16 | info.productVersion[3]);
        for (long v : new long[] {info.fileFlagsMask, info.fileFlags, info.fileOs, info.fileType, info.fileSubtype, info.dateHigh, info.dateLow})
            fixed.put32(v);
        Bin.Out out = new Bin.Out();
        writeNode(out, "VS_VERSION_INFO", 0, fixed.toByteArray(), 52, () -> {
            writeNode(out, "StringFileInfo", 1, new byte[0], 0, () -> writeNode(out, info.tableKey, 1, new byte[0], 0, () -> {
                for (String[] s : info.strings) {
                    byte[] value = new Bin.Out().putUtf16(s[1]).put16(0).toByteArray();
                    writeNode(out, s[0], 1, value, (s[1].length() + 1) & 0xFFFF, () -> {});
                }
            }));
            Bin.Out translations = new Bin.Out();
            for (long t : info.translations) translations.put32(t);
            byte[] tr = translations.toByteArray();
            writeNode(out, "VarFileInfo", 1, new byte[0], 0, () -> writeNode(out, "Translation", 0, tr, tr.length & 0xFFFF, () -> {}));
        });
        return out.toByteArray();
    }

    /** "1", "1.2", "1.2.3" or "1.2.3.4", each part 0-65535; null otherwise. */
    static int[] parseVersionNumber(String text) {
        int[] out = new int[4];
        int pos = 0, part = 0;
        for (;;) {
            if (part == 4 || pos >= text.length() || text.charAt(pos) < '0' || text.charAt(pos) > '9') return null;
            long v = 0;
            while (pos < text.length() && text.charAt(pos) >= '0' && text.charAt(pos) <= '9') {
                v = v * 10 + (text.charAt(pos++) - '0');
                if (v > 65535) return null;
            }
            out[part++] = (int) v;
            if (pos == text.length()) break;
            if (text.charAt(pos++) != '.') return null;
        }
        return out;
    }

    /** The numbers a version text starts with, as above: "1.2.3-beta" gives 1.2.3.0. */
    static int[] parseLeadingVersionNumber(String text) {
        int end = 0;
        while (end < text.length() && "0123456789.".indexOf(text.charAt(end)) >= 0) end++;
        return parseVersionNumber(text.substring(0, end));
    }

    static String versionText(int[] p) {
        return p[0] + "." + p[1] + "." + p[2] + "." + p[3];
    }

    // ---- the manifest's execution level

    /** {from, length} of the level attribute's value in the requestedExecutionLevel element, or null. */
    private static int[] findLevel(String xml) {
        int tag = xml.indexOf("<requestedExecutionLevel");
        if (tag < 0) return null;
        int end = xml.indexOf('>', tag);
        if (end < 0) return null;
        for (int at = xml.indexOf("level", tag); at >= 0 && at < end; at = xml.indexOf("level", at + 5)) {
            if (!isSpace(xml.charAt(at - 1))) continue;
            int p = at + 5;
            while (p < end && isSpace(xml.charAt(p))) p++;
            if (p >= end || xml.charAt(p) != '=') continue;
            p++;
            while (p < end && isSpace(xml.charAt(p))) p++;
            if (p >= end || (xml.charAt(p) != '"' && xml.charAt(p) != '\'')) return null;
            int close = xml.indexOf(xml.charAt(p), p + 1);
            if (close < 0 || close > end) return null;
            return new int[] {p + 1, close - p - 1};
        }
        return null;
    }

    private static boolean isSpace(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0x0B || c == 0x0C;
    }

    private static String trustInfo(String level) {
        return "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n    <security>\n      <requestedPrivileges>\n"
                + "        <requestedExecutionLevel level=\"" + level + "\" uiAccess=\"false\"/>\n"
                + "      </requestedPrivileges>\n    </security>\n  </trustInfo>\n";
    }

    // The manifest is handled as bytes, one char each, so that any encoding passes through unchanged.
    static String manifestLevel(byte[] manifest) {
        String xml = new String(manifest, StandardCharsets.ISO_8859_1);
        int[] at = findLevel(xml);
        return at == null ? "" : xml.substring(at[0], at[0] + at[1]);
    }

    static byte[] setManifestLevel(byte[] manifest, String level) throws Failure {
        String xml = new String(manifest, StandardCharsets.ISO_8859_1);
        int[] at;
        if (xml.isEmpty()) {
            xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                    + "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n" + trustInfo(level) + "</assembly>\n";
        } else if ((at = findLevel(xml)) != null) {
            xml = xml.substring(0, at[0]) + level + xml.substring(at[0] + at[1]);
        } else if (xml.contains("<requestedExecutionLevel")) {
            throw new Failure("the manifest's requestedExecutionLevel has no readable level");
        } else {
            int end = xml.lastIndexOf("</assembly>");
            if (end < 0) throw new Failure("the manifest has no </assembly> end tag");
            xml = xml.substring(0, end) + trustInfo(level) + xml.substring(end);
        }
        return xml.getBytes(StandardCharsets.ISO_8859_1);
    }

    // ---- the manifest's DPI settings (Rules.DPI_SETTING, one value of each Rules.DPI_MODE each)

    /** The start tag `<element` (not a longer name), or -1. */
    private static int findStartTag(String xml, String element) {
        String open = "<" + element;
        for (int at = xml.indexOf(open); at >= 0; at = xml.indexOf(open, at + 1)) {
            char next = at + open.length() < xml.length() ? xml.charAt(at + open.length()) : 0;
            if (next == '>' || next == '/' || isSpace(next)) return at;
        }
        return -1;
    }

    /** {from, length} of the element's text; null when it is absent (found[0] false) or holds none that can be read. */
    private static int[] findText(String xml, String element, boolean[] found) {
        int tag = findStartTag(xml, element);
        found[0] = tag >= 0;
        if (tag < 0) return null;
        int end = xml.indexOf('>', tag);
        if (end < 0 || xml.charAt(end - 1) == '/') return null;
        int close = xml.indexOf("</" + element + ">", end);
        if (close < 0 || xml.indexOf('<', end) != close) return null;
        return new int[] {end + 1, close - end - 1};
    }

    static String manifestDpiAwareness(byte[] manifest) {
        String xml = new String(manifest, StandardCharsets.ISO_8859_1);
        boolean[] found = new boolean[1];
        int[] at = findText(xml, Rules.DPI_SETTING[1][0], found); // the newer setting first, as Windows 10 reads it
        if (at == null) at = findText(xml, Rules.DPI_SETTING[0][0], found);
        if (at == null) return "";
        String text = xml.substring(at[0], at[0] + at[1]);
        for (String[] mode : Rules.DPI_MODE)
            if (text.equals(mode[2]) || text.equals(mode[1])) return mode[0];
        return text;
    }

    static byte[] setManifestDpiAwareness(byte[] manifest, String name) throws Failure {
        String[] mode = null;
        for (String[] m : Rules.DPI_MODE)
            if (m[0].equals(name)) mode = m;
        String why = Config.checkIdentityValue("dpi_awareness", name);
        if (mode == null) throw new Failure(why);
        String xml = new String(manifest, StandardCharsets.ISO_8859_1);
        for (int i = 0; i < Rules.DPI_SETTING.length; i++) {
            String element = Rules.DPI_SETTING[i][0], value = mode[i + 1];
            boolean[] found = new boolean[1];
            int[] at = findText(xml, element, found);
            if (at != null) {
                xml = xml.substring(0, at[0]) + value + xml.substring(at[0] + at[1]);
                continue;
            }
            if (found[0]) throw new Failure("the manifest's " + element + " element holds no readable value");
            String tag = "<" + element + " xmlns=\"" + Rules.DPI_SETTING[i][1] + "\">" + value + "</" + element + ">";
            int settings = findStartTag(xml, "windowsSettings"), open = settings < 0 ? -1 : xml.indexOf('>', settings);
            if (open >= 0 && xml.charAt(open - 1) != '/') { // into the settings there are
                xml = xml.substring(0, open + 1) + "\n      " + tag + xml.substring(open + 1);
                continue;
            }
            int end = xml.lastIndexOf("</assembly>");
            if (end < 0) throw new Failure("the manifest has no </assembly> end tag");
            xml = xml.substring(0, end) + "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n    <windowsSettings>\n      " + tag
                    + "\n    </windowsSettings>\n  </application>\n" + xml.substring(end);
        }
        return xml.getBytes(StandardCharsets.ISO_8859_1);
    }
}
