// `show`: a launcher's entries, icon, version information, execution level and DPI awareness as
// text or JSON.
// The main class is shown descrambled; each entry says whether it differs from the default.
package org.varnlet.pack;

final class Show {
    private Show() {}

    private static final class View {
        Entry info;
        boolean present, valid = true, changed;
        String stored = "", value = "";
    }

    private static View view(Entry info, Launcher.Contents c) {
        View v = new View();
        v.info = info;
        String text = c.entries.get(info.id);
        if (text != null) {
            v.present = true;
            v.stored = Bin.clean(text);
        }
        v.value = v.stored;
        if (info.type == Entry.Type.Scrambled) {
            String plain = Config.descramble(v.stored);
            v.valid = plain != null;
            v.value = plain != null ? plain : "";
        }
        v.changed = !v.stored.equals(info.defaultText);
        return v;
    }

    static String quoted(String s) {
        StringBuilder out = new StringBuilder("\"");
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            if (c == '"' || c == '\\') out.append('\\').append(c);
            else if (c < 0x20) out.append(String.format("\\u%04x", (int) c));
            else out.append(c);
        }
        return out.append('"').toString();
    }

    static String text(String file, Launcher.Contents c) {
        StringBuilder out = new StringBuilder(file + ": " + Launcher.target(c.format) + " launcher, " + (c.windowed ? "windowed" : "console") + "\n");
        if (c.signed) out.append("signed: yes (Authenticode)\n");
        out.append("\nEntries (* differs from the default):\n");
        for (Entry e : Rules.ENTRIES) {
            View v = view(e, c);
            out.append(String.format("%c %4d %-20s ", v.changed ? '*' : ' ', e.id, e.name));
            if (!v.present) out.append("(missing: reads as empty)");
            else if (!v.valid) out.append(quoted(v.stored)).append(" (not a valid scrambled name)");
            else out.append(quoted(v.value));
            out.append("\n");
        }
        if (c.format != Launcher.Format.ELF) {
            out.append("\nIcon MAINICON: ");
            if (!c.hasIcon) out.append("none");
            for (int i = 0; i < c.icon.size(); i++) out.append(i > 0 ? ", " : "").append(c.icon.get(i).describe());
            out.append("\nVersion information:");
            if (!c.hasVersion) out.append(" none\n");
            else {
                out.append("\n  file version    ").append(Res.versionText(c.version.fileVersion)).append("\n");
                out.append("  product version ").append(Res.versionText(c.version.productVersion)).append("\n");
                for (String[] s : c.version.strings) out.append("  ").append(Bin.clean(s[0])).append(" = ").append(quoted(Bin.clean(s[1]))).append("\n");
            }
            out.append("Execution level: ").append(c.executionLevel.isEmpty() ? "none requested" : c.executionLevel).append("\n");
            out.append("DPI awareness: ").append(c.dpiAwareness.isEmpty() ? "none declared" : c.dpiAwareness).append("\n");
            out.append("\nResources:\n");
            for (String[] r : c.resources)
                out.append("  ").append(r[0]).append(" ").append(r[1]).append(" language ").append(String.format("0x%04X", Integer.parseInt(r[2])))
                        .append(", ").append(r[3]).append(" bytes\n");
        }
        return out.toString();
    }

    static String json(String file, Launcher.Contents c) {
        StringBuilder out = new StringBuilder("{\n  \"file\": " + quoted(file) + ",\n  \"target\": \"" + Launcher.target(c.format) + "\",\n");
        out.append("  \"kind\": \"").append(c.windowed ? "windowed" : "console").append("\",\n");
        out.append("  \"signed\": ").append(c.signed).append(",\n  \"entries\": [\n");
        for (int i = 0; i < Rules.ENTRIES.length; i++) {
            View v = view(Rules.ENTRIES[i], c);
            out.append("    {\"id\": ").append(v.info.id).append(", \"name\": ").append(quoted(v.info.name)).append(", \"present\": ").append(v.present)
                    .append(", \"value\": ").append(quoted(v.value)).append(", \"stored\": ").append(quoted(v.stored)).append(", \"default\": ")
                    .append(quoted(v.info.defaultText)).append(", \"changed\": ").append(v.changed).append(v.valid ? "" : ", \"invalid\": true")
                    .append("}").append(i + 1 < Rules.ENTRIES.length ? ",\n" : "\n");
        }
        out.append("  ],\n  \"icon\": ");
        if (!c.hasIcon) out.append("null");
        else {
            out.append("[");
            for (int i = 0; i < c.icon.size(); i++) {
                Res.GroupEntry e = c.icon.get(i);
                out.append(i > 0 ? ", " : "").append("{\"width\": ").append(e.width != 0 ? e.width : 256).append(", \"height\": ")
                        .append(e.height != 0 ? e.height : 256).append(", \"bitCount\": ").append(e.bitCount).append(", \"bytes\": ").append(e.bytes)
                        .append(", \"id\": ").append(e.id).append("}");
            }
            out.append("]");
        }
        out.append(",\n  \"version\": ");
        if (!c.hasVersion) out.append("null");
        else {
            out.append("{\"fileVersion\": ").append(quoted(Res.versionText(c.version.fileVersion))).append(", \"productVersion\": ")
                    .append(quoted(Res.versionText(c.version.productVersion))).append(", \"strings\": {");
            for (int i = 0; i < c.version.strings.size(); i++)
                out.append(i > 0 ? ", " : "").append(quoted(Bin.clean(c.version.strings.get(i)[0]))).append(": ")
                        .append(quoted(Bin.clean(c.version.strings.get(i)[1])));
            out.append("}}");
        }
        out.append(",\n  \"executionLevel\": ").append(c.executionLevel.isEmpty() ? "null" : quoted(c.executionLevel));
        out.append(",\n  \"dpiAwareness\": ").append(c.dpiAwareness.isEmpty() ? "null" : quoted(c.dpiAwareness));
        out.append(",\n  \"resources\": [");
        for (int i = 0; i < c.resources.size(); i++) {
            String[] r = c.resources.get(i);
            out.append(i > 0 ? ", " : "").append("{\"type\": ").append(quoted(r[0])).append(", \"name\": ").append(quoted(r[1])).append(", \"language\": ")
                    .append(r[2]).append(", \"size\": ").append(r[3]).append("}");
        }
        return out.append("]\n}\n").toString();
    }
}
