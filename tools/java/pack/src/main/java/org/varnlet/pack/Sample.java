// `init`: the sample configuration, every entry commented out with its default and meaning,
// so a user uncomments what the application needs.
package org.varnlet.pack;

final class Sample {
    private Sample() {}

    private static final String SEARCH_ORDER = "# Where the launcher looks for Java, in this order; the first runtime that fits wins:\n"
            + "#   1. JvmPath (below);\n"
            + "#   2. the registry keys that Java installers write (Windows; JavaSearchMode picks the\n"
            + "#      keys, and 4 or more searches them before JvmPath);\n"
            + "#   3. the runtime that the environment variable JAVA_HOME names;\n"
            + "#   4. the runtime of the first java (java.exe) on PATH, links followed;\n"
            + "#   5. on Linux, the runtimes under /usr/lib/jvm, newest first.\n"
            + "# Steps 3 to 5 read a runtime's version from its `release` file and check it against\n"
            + "# MinJavaVersion, and pass over a runtime of the wrong width (a 64-bit one for a 32-bit\n"
            + "# launcher). Most applications need no JvmPath. Run the launcher with the environment\n"
            + "# variable VARNLET_TRACE set to see each place it looked.\n";

    private static final String SHIPPED_FORMS = "# Applications as they ship: an executable jar (MainJar) or a main module (MainModule, with\n"
            + "# ModulePath, or alone with JvmPath into a jlink image that holds it). Either names the\n"
            + "# main class; a file that sets one of them and not MainClass or ClassPath leaves those empty.\n";

    private static final String WINDOWS_KEYS = "# The application icon, a .ico file (all its images are used).\n"
            + "# icon = \"myapp.ico\"\n"
            + "# A windowed launcher: no console window; reports appear in message boxes.\n"
            + "# gui = false\n"
            + "# The application's name in the file's properties, Task Manager and dialog titles\n"
            + "# (default: the output's file name without .exe).\n"
            + "# name = \"My Application\"\n"
            + "# What the launcher asks of Windows: \"asInvoker\" (the user's rights), \"highestAvailable\"\n"
            + "# or \"requireAdministrator\" (an elevation prompt at every start).\n"
            + "# execution_level = \"asInvoker\"\n\n";

    private static final String COMMAND_LINE_TOOLS = "# A command-line tool (a build tool, an interpreter) works where it is called, as with the\n"
            + "# java command: StayInStartupDir keeps the process in the caller's directory throughout,\n"
            + "# while relative ClassPath, JvmPath, OptionsFile, stream-file and @file names still mean\n"
            + "# the files beside the executable (a bundle's bin/ with ClassPath = \"../lib\", say).\n"
            + "# JavaCommandOptions reads JvmOptions as the java command reads its options:\n"
            + "#   JvmOptions = [\"--add-opens\", \"java.base/java.lang=ALL-UNNAMED\", \"@jvm.options\"]\n"
            + "# becomes --add-opens=java.base/java.lang=ALL-UNNAMED and the options of the file\n"
            + "# jvm.options beside the executable; JDK_JAVA_OPTIONS is read for Java 9 and later, and\n"
            + "# the java command's own options (-jar, -cp, -version, ...) are refused with a report.\n";

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
                + "\n" + "# output = \"myapp" + (linux ? "\"\n\n" : ".exe\"\n") + (linux ? "" : WINDOWS_KEYS));
        for (Entry e : Rules.ENTRIES) {
            if (e.type == Entry.Type.Message || (linux && e.windowsOnly())) continue;
            if (e.id == Entry.Id.JVM_PATH) out.append(SEARCH_ORDER);
            if (e.id == Entry.Id.MODERN_REFERENCES) {
                out.append("# ").append(e.meaning).append(".\n# false: the rules of older launchers, where an undefined %NAME% and %% vanish.\n")
                        .append(e.name).append(" = true\n\n");
                continue;
            }
            if (e.id == Entry.Id.STAY_IN_STARTUP_DIR) out.append(COMMAND_LINE_TOOLS);
            if (e.id == Entry.Id.MAIN_JAR) out.append(SHIPPED_FORMS);
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
        out.append("\n# Version information of the executable; each value replaces the one made from name and\n"
                + "# the output's file name. FileVersion and ProductVersion (default 0.0.0.0) are numbers\n"
                + "# separated by dots and also set the numeric versions. (A file without this table may\n"
                + "# set both with the top-level key version = \"1.2.3\".)\n[version]\n"
                + "# FileVersion = \"1.0.0.0\"\n# ProductVersion = \"1.0.0.0\"\n# ProductName = \"My Application\"\n"
                + "# FileDescription = \"My Application launcher\"\n# CompanyName = \"Example Ltd\"\n"
                + "# LegalCopyright = \"Copyright (C) 2026 Example Ltd\"\n# OriginalFilename = \"myapp.exe\"\n" + "# InternalName = \"myapp\"\n");
        return out.toString();
    }
}
