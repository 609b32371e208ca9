// `init`: the sample configuration, every entry commented out with its default and meaning,
// so a user uncomments what the application needs.
package org.varnlet.pack;

final class Sample {
    private Sample() {}

    static String tomlString(String s) {
        StringBuilder out = new StringBuilder("\"");
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            if (c == '"' || c == '\\') out.append('\\');
            out.append(c);
        }
        return out.append('"').toString();
    }

    private static String tomlValue(Entry e) {
        switch (e.type) {
        case Flag:
        case ReservedFlag: return !e.defaultText.isEmpty() && e.defaultText.charAt(0) != '0' ? "true" : "false";
        case Integer:
        case ReservedInteger: return Long.toString(Long.parseLong(e.defaultText.trim()));
        case Scrambled: {
            String plain = Config.descramble(e.defaultText);
            return tomlString(plain != null ? plain : "");
        }
        default: return tomlString(e.defaultText);
        }
    }

    static String config(String target) {
        boolean linux = target.equals("linux");
        StringBuilder out = new StringBuilder("# varnlet-pack configuration. Build the launcher with:  varnlet-pack build THIS-FILE\n"
                + "# Every entry below shows the default of the launcher body; uncomment and change\n"
                + "# what your application needs. Entries left out keep the body's defaults.\n"
                + "# Relative paths in this file (output, icon) are relative to this file's directory.\n\n"
                + "# The launcher body: \"win32\" (varnlet.exe), \"win64\" (varnlet64.exe) or \"linux\" (varnlet).\n" + "target = " + tomlString(target)
                + "\n" + "# output = \"myapp" + (linux ? "\"\n\n" : ".exe\"\n") + (linux ? "" : Rules.SAMPLE_WINDOWS_KEYS));
        for (Entry e : Rules.ENTRIES) {
            if (e.type == Entry.Type.Message || (linux && e.windowsOnly())) continue;
            if (e.id == Entry.Id.JVM_PATH) out.append(Rules.SAMPLE_SEARCH_ORDER);
            if (e.id == Entry.Id.MODERN_REFERENCES) {
                out.append("# ").append(e.meaning).append(".\n# false: the rules of older launchers, where an undefined %NAME% and %% vanish.\n")
                        .append(e.name).append(" = true\n\n");
                continue;
            }
            if (e.id == Entry.Id.STAY_IN_STARTUP_DIR) out.append(Rules.SAMPLE_COMMAND_LINE_TOOLS);
            if (e.id == Entry.Id.MAIN_JAR) out.append(Rules.SAMPLE_SHIPPED_FORMS);
            out.append("# ").append(e.meaning).append(".\n");
            if (e.form().equals("List")) out.append("# A string with ';' between entries, or an array of strings.\n");
            if (e.form().equals("Options")) out.append("# A string, or an array of strings with one option each (quoted as needed when stored).\n");
            if (e.id == Entry.Id.CLASS_DATA_CACHE) {
                out.append(e.name).append(" = true\n\n");
                continue;
            }
            long[] range = e.range();
            if (e.type == Entry.Type.Integer && e.id != Entry.Id.JAVA_SEARCH_MODE && range != null)
                out.append("# ").append(range[0]).append(" to ").append(range[1]).append(e.rangeUnit()).append(".\n");
            if (e.type == Entry.Type.Hex)
                out.append("# Written as a major version (\"17\"), as major.minor (\"1.8\") or as a hexadecimal number such as \"0x00010008\".\n");
            if (e.type == Entry.Type.Scrambled) out.append("# Required: the class name with dots, such as \"com.example.Main\" (stored scrambled).\n");
            if (e.type == Entry.Type.Text || e.type == Entry.Type.ReservedText) out.append("# At most 1023 characters.\n");
            out.append("# ").append(e.name).append(" = ").append(tomlValue(e)).append("\n\n");
        }
        out.append("# Message formats, by id or by name; each holds at most one \"%s\" (write % as %%).\n[messages]\n");
        for (Entry e : Rules.ENTRIES) {
            if (e.type != Entry.Type.Message) continue;
            out.append("# ").append(e.meaning).append(".\n# ").append(e.id).append(" = ").append(tomlString(e.defaultText)).append("    # ")
                    .append(e.name).append("\n");
        }
        if (linux) return out.toString();
        out.append(Rules.SAMPLE_VERSION_TABLE);
        return out.toString();
    }
}
