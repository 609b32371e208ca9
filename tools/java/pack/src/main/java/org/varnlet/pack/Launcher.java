// A launcher executable as the packer sees it: its entries, icon and version information, read
// from a Windows (PE) or Linux (ELF) body, and the rewrite that stores an application's values
// in a copy of a body.
package org.varnlet.pack;

import static org.varnlet.pack.Bin.fits;
import static org.varnlet.pack.Bin.rd16;

import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.TreeMap;

final class Launcher {
    enum Format { PE32, PE32PLUS, ELF }

    static String target(Format f) {
        return f == Format.PE32 ? "win32" : f == Format.PE32PLUS ? "win64" : "linux";
    }

    static final class Contents {
        Format format = Format.ELF;
        final TreeMap<Integer, String> entries = new TreeMap<>();
        boolean hasIcon, hasVersion, signed, windowed;
        List<Res.GroupEntry> icon = new ArrayList<>();
        Res.Version version = new Res.Version();
        final List<String[]> resources = new ArrayList<>(); // type, name, language, size
        String executionLevel = "", dpiAwareness = "";
    }

    static final class Request {
        final TreeMap<Integer, String> entries = new TreeMap<>(); // stored text (MainClass scrambled)
        boolean replaceIcon;
        List<Res.IconImage> icon = new ArrayList<>();
        List<String[]> versionStrings = new ArrayList<>();
        boolean wholeVersionTable; // versionStrings replace every text of the table, not only theirs
        boolean setFileVersion, setProductVersion, setSubsystem, windowed, windowsOnly;
        int[] fileVersion = new int[4], productVersion = new int[4];
        String executionLevel = "", dpiAwareness = "";

        boolean hasWindowsResources() {
            return replaceIcon || !versionStrings.isEmpty() || setFileVersion || setProductVersion || windowed || windowsOnly;
        }
    }

    private static final Res.Name MAIN_ICON = new Res.Name("MAINICON");
    private static final int DEFAULT_LANGUAGE = 1033;

    static byte[] entryBlock(String text) {
        return new Bin.Out().put16(text.length()).putUtf16(text).put16(0).toByteArray();
    }

    /** String `slot` of a string-table block, or null when the block ends before it. */
    static String blockString(byte[] data, int slot) {
        long pos = 0;
        for (int i = 0;; i++) {
            if (!fits(data.length, pos, 2)) return null;
            int n = rd16(data, pos);
            pos += 2;
            if (!fits(data.length, pos, 2L * n)) return null;
            if (i == slot) {
                StringBuilder s = new StringBuilder();
                for (int k = 0; k < n; k++) s.append((char) rd16(data, pos + 2L * k));
                return s.toString();
            }
            pos += 2L * n;
        }
    }

    private static String typeName(Res.Name type) {
        if (!type.isId) return type.describe();
        switch (type.id) {
        case Res.RT_ICON: return "ICON";
        case Res.RT_STRING: return "STRING";
        case Res.RT_MESSAGE_TABLE: return "MESSAGETABLE";
        case Res.RT_GROUP_ICON: return "GROUP_ICON";
        case Res.RT_VERSION: return "VERSION";
        case Res.RT_MANIFEST: return "MANIFEST";
        default: return Integer.toString(type.id);
        }
    }

    private static Res.Item find(List<Res.Item> items, int type, Res.Name name) {
        Res.Item found = null;
        for (Res.Item i : items)
            if (i.type.isId(type) && i.name.same(name)) {
                if (i.language == 0) return i;
                if (found == null) found = i;
            }
        return found;
    }

    private static void remove(List<Res.Item> items, int type, Res.Name name) {
        items.removeIf(i -> i.type.isId(type) && i.name.same(name));
    }

    private static List<Res.Item> resources(Pe pe, int section) throws Res.Failure {
        Pe.Section s = pe.sections.get(section);
        return Res.parseTree(pe.bytes, s.rawOffset, s.rawSize, s.virtualAddress);
    }

    static Contents read(byte[] file) throws Pe.Failure, Res.Failure {
        Contents c = new Contents();
        if (Pe.isPe(file)) {
            Pe pe = Pe.parse(file);
            int section = pe.resourceSection();
            List<Res.Item> items = resources(pe, section);
            c.format = pe.pe32plus ? Format.PE32PLUS : Format.PE32;
            c.signed = pe.directory(Pe.DIR_SECURITY) != null;
            c.windowed = rd16(pe.bytes, pe.subsystemOffset()) == Pe.SUBSYSTEM_GUI;
            for (Res.Item i : items)
                c.resources.add(new String[] {typeName(i.type), i.name.describe(), Integer.toString(i.language), Integer.toString(i.data.length)});
            for (Entry e : Rules.ENTRIES) {
                Res.Item block = find(items, Res.RT_STRING, new Res.Name(e.id / 16 + 1));
                String text = block == null ? null : blockString(block.data, e.id % 16);
                if (text != null) c.entries.put(e.id, text);
            }
            Res.Item group = find(items, Res.RT_GROUP_ICON, MAIN_ICON);
            if (group != null) {
                c.icon = Res.parseGroupIcon(group.data);
                c.hasIcon = true;
            }
            Res.Item version = find(items, Res.RT_VERSION, new Res.Name(1));
            if (version != null) {
                c.version = Res.parseVersion(version.data);
                c.hasVersion = true;
            }
            Res.Item manifest = find(items, Res.RT_MANIFEST, new Res.Name(1));
            if (manifest != null) {
                c.executionLevel = Res.manifestLevel(manifest.data);
                c.dpiAwareness = Res.manifestDpiAwareness(manifest.data);
            }
            return c;
        }
        if (Elf.isElf(file)) {
            long[] at = Elf.findSection(file);
            for (Elf.Record r : Elf.parseSection(file, (int) at[0], (int) at[1])) {
                String text = Entry.byId(r.id) == null ? null : blockString(r.block, 0);
                if (text != null) c.entries.put(r.id, text);
            }
            return c;
        }
        throw new Pe.Failure("not a launcher executable: neither a PE nor an ELF file");
    }

    private static void replaceIcon(List<Res.Item> items, List<Res.IconImage> images) throws Res.Failure {
        int language = DEFAULT_LANGUAGE;
        Set<Integer> oldIds = new HashSet<>(), keptIds = new HashSet<>();
        for (Res.Item i : items) {
            if (!i.type.isId(Res.RT_GROUP_ICON)) continue;
            boolean isMain = i.name.same(MAIN_ICON);
            if (isMain) language = i.language;
            try {
                for (Res.GroupEntry e : Res.parseGroupIcon(i.data)) (isMain ? oldIds : keptIds).add(e.id);
            } catch (Res.Failure ignored) {
                // a group icon we cannot read keeps its images
            }
        }
        items.removeIf(i -> i.type.isId(Res.RT_ICON) && i.name.isId && oldIds.contains(i.name.id) && !keptIds.contains(i.name.id));
        remove(items, Res.RT_GROUP_ICON, MAIN_ICON);
        Set<Integer> used = new HashSet<>();
        for (Res.Item i : items)
            if (i.type.isId(Res.RT_ICON) && i.name.isId) used.add(i.name.id);
        List<Integer> ids = new ArrayList<>();
        for (int id = 1; ids.size() < images.size(); id = (id + 1) & 0xFFFF)
            if (!used.contains(id)) ids.add(id);
        for (int k = 0; k < images.size(); k++)
            items.add(new Res.Item(new Res.Name(Res.RT_ICON), new Res.Name(ids.get(k)), language, images.get(k).data));
        items.add(new Res.Item(new Res.Name(Res.RT_GROUP_ICON), MAIN_ICON, language, Res.buildGroupIcon(images, ids)));
    }

    private static void updateVersion(List<Res.Item> items, Request request) throws Res.Failure {
        Res.Version info = new Res.Version();
        int language = DEFAULT_LANGUAGE;
        Res.Item existing = find(items, Res.RT_VERSION, new Res.Name(1));
        if (existing != null) {
            info = Res.parseVersion(existing.data);
            language = existing.language;
        }
        if (request.setFileVersion) info.fileVersion = request.fileVersion.clone();
        if (request.setProductVersion) info.productVersion = request.productVersion.clone();
        if (request.wholeVersionTable) info.strings.clear();
        for (String[] s : request.versionStrings) info.set(s[0], s[1]);
        // Windows shows PrivateBuild and SpecialBuild only where the fixed flags say the file is such a build.
        for (String[] f : Rules.VERSION_FLAG) {
            long flag = Long.decode(f[1]);
            boolean has = false;
            for (String[] s : info.strings)
                if (s[0].equals(f[0])) {
                    has = !s[1].isEmpty();
                    break;
                }
            info.fileFlags = has ? info.fileFlags | flag : info.fileFlags & ~flag;
        }
        if (info.translations.isEmpty()) info.translations.add(0x04B00409L);
        remove(items, Res.RT_VERSION, new Res.Name(1));
        items.add(new Res.Item(new Res.Name(Res.RT_VERSION), new Res.Name(1), language, Res.buildVersion(info)));
    }

    // Rewritten in place, so the body's other manifest settings (code page, supported systems, common controls) stay.
    private static void updateManifest(List<Res.Item> items, Request request) throws Res.Failure {
        Res.Item manifest = null;
        for (Res.Item i : items)
            if (i.type.isId(Res.RT_MANIFEST) && i.name.same(new Res.Name(1))) {
                manifest = i;
                break;
            }
        if (manifest == null) items.add(manifest = new Res.Item(new Res.Name(Res.RT_MANIFEST), new Res.Name(1), DEFAULT_LANGUAGE, new byte[0]));
        if (!request.executionLevel.isEmpty()) manifest.data = Res.setManifestLevel(manifest.data, request.executionLevel);
        if (!request.dpiAwareness.isEmpty()) manifest.data = Res.setManifestDpiAwareness(manifest.data, request.dpiAwareness);
    }

    /** The packed executable; `notes` receives what the user must know. Nothing is written here. */
    static byte[] pack(byte[] body, Request request, List<String> notes) throws Pe.Failure, Res.Failure {
        if (Pe.isPe(body)) {
            Pe pe = Pe.parse(body.clone());
            int section = pe.resourceSection();
            List<Res.Item> items = resources(pe, section);
            for (java.util.Map.Entry<Integer, String> e : request.entries.entrySet()) {
                Res.Name block = new Res.Name(e.getKey() / 16 + 1);
                remove(items, Res.RT_STRING, block);
                items.add(new Res.Item(new Res.Name(Res.RT_STRING), block, 0, entryBlock(e.getValue())));
            }
            if (request.replaceIcon) replaceIcon(items, request.icon);
            if (!request.versionStrings.isEmpty() || request.setFileVersion || request.setProductVersion) updateVersion(items, request);
            if (!request.executionLevel.isEmpty() || !request.dpiAwareness.isEmpty()) updateManifest(items, request);
            if (request.setSubsystem) Bin.wr16(pe.bytes, pe.subsystemOffset(), request.windowed ? Pe.SUBSYSTEM_GUI : Pe.SUBSYSTEM_CONSOLE);
            if (pe.removeSignature())
                notes.add("the launcher body was signed; its signature has been removed, so the output must be signed again");
            pe.replaceResourceSection(Res.buildTree(items, pe.sections.get(section).virtualAddress));
            return pe.bytes;
        }
        if (Elf.isElf(body)) {
            long[] at = Elf.findSection(body);
            List<Elf.Record> records = Elf.parseSection(body, (int) at[0], (int) at[1]);
            for (java.util.Map.Entry<Integer, String> e : request.entries.entrySet()) {
                byte[] block = entryBlock(e.getValue());
                Elf.Record found = null;
                for (Elf.Record r : records)
                    if (r.id == e.getKey()) {
                        found = r;
                        break;
                    }
                if (found != null) found.block = block;
                else records.add(new Elf.Record(e.getKey(), block));
            }
            if (request.hasWindowsResources())
                notes.add("a Linux launcher has no icon, version information or windowed kind; those settings are not stored");
            byte[] image = Elf.buildSection(records, (int) at[1]);
            byte[] out = body.clone();
            System.arraycopy(image, 0, out, (int) at[0], image.length);
            return out;
        }
        throw new Pe.Failure("not a launcher executable: neither a PE nor an ELF file");
    }
}
