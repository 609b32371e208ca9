// The sample configuration: every entry commented out with its default and meaning,
// so a user uncomments what the application needs.
#include "sample_config.h"

#include "entries/entries.h"
#include "entry_values.h"

namespace {

const char kSearchOrder[] =
    "# Where the launcher looks for Java, in this order; the first runtime that fits wins:\n"
    "#   1. JvmPath (below);\n"
    "#   2. the registry keys that Java installers write (Windows; JavaSearchMode picks the\n"
    "#      keys, and 4 or more searches them before JvmPath);\n"
    "#   3. the runtime that the environment variable JAVA_HOME names;\n"
    "#   4. the runtime of the first java (java.exe) on PATH, links followed;\n"
    "#   5. on Linux, the runtimes under /usr/lib/jvm, newest first.\n"
    "# Steps 3 to 5 read a runtime's version from its `release` file and check it against\n"
    "# MinJavaVersion, and pass over a runtime of the wrong width (a 64-bit one for a 32-bit\n"
    "# launcher). Most applications need no JvmPath. Run the launcher with the environment\n"
    "# variable VARNLET_TRACE set to see each place it looked.\n";

const char kShippedForms[] =
    "# Applications as they ship: an executable jar (MainJar) or a main module (MainModule, with\n"
    "# ModulePath, or alone with JvmPath into a jlink image that holds it). Either names the\n"
    "# main class; a file that sets one of them and not MainClass or ClassPath leaves those empty.\n";

std::string tomlString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string tomlValue(const EntryInfo& e) {
    switch (e.type) {
    case EntryType::Flag:
    case EntryType::ReservedFlag: return convertFlag(e.defaultText) ? "true" : "false";
    case EntryType::Integer:
    case EntryType::ReservedInteger: return std::to_string(convertInteger(e.defaultText));
    case EntryType::Scrambled: {
        const char* plain = descrambleText(e.defaultText);
        return tomlString(plain ? plain : "");
    }
    default: return tomlString(e.defaultText);
    }
}

const char kWindowsKeys[] =
    "# The application icon, a .ico file (all its images are used).\n"
    "# icon = \"myapp.ico\"\n"
    "# A windowed launcher: no console window; reports appear in message boxes.\n"
    "# gui = false\n"
    "# The application's name in the file's properties, Task Manager and dialog titles\n"
    "# (default: the output's file name without .exe).\n"
    "# name = \"My Application\"\n"
    "# What the launcher asks of Windows: \"asInvoker\" (the user's rights), \"highestAvailable\"\n"
    "# or \"requireAdministrator\" (an elevation prompt at every start).\n"
    "# execution_level = \"asInvoker\"\n"
    "# How windows are drawn on scaled displays: \"permonitorv2\" (sharp at every scale, as the\n"
    "# java command declares), \"system\" (one scale) or \"unaware\" (Windows scales a bitmap).\n"
    "# dpi_awareness = \"permonitorv2\"\n\n";

const char kCommandLineTools[] =
    "# A command-line tool (a build tool, an interpreter) works where it is called, as with the\n"
    "# java command: StayInStartupDir keeps the process in the caller's directory throughout,\n"
    "# while relative paths of the entries (ClassPath, ModulePath, MainJar, the stream files,\n"
    "# ...) and @file names still mean the files beside the executable, never those of the\n"
    "# caller's directory (a bundle's bin/ with ClassPath = \"../lib\", say).\n"
    "# JavaCommandOptions reads JvmOptions as the java command reads its options:\n"
    "#   JvmOptions = [\"--add-opens\", \"java.base/java.lang=ALL-UNNAMED\", \"@jvm.options\"]\n"
    "# becomes --add-opens=java.base/java.lang=ALL-UNNAMED and the options of the file\n"
    "# jvm.options beside the executable; JDK_JAVA_OPTIONS is read for Java 9 and later, and\n"
    "# the java command's own options (-jar, -cp, -version, ...) are refused with a report.\n";

const char kVersionTable[] =
    "\n# Version information of the executable; each value replaces the one made from name and\n"
    "# the output's file name. FileVersion and ProductVersion (default 0.0.0.0) start with numbers\n"
    "# separated by dots (\"1.2.3-beta\"), which also set the numeric versions. (A file without this\n"
    "# table may set both with the top-level key version = \"1.2.3\".) Comments, LegalTrademarks,\n"
    "# PrivateBuild and SpecialBuild are written only when set.\n[version]\n"
    "# FileVersion = \"1.0.0.0\"\n# ProductVersion = \"1.0.0.0\"\n# ProductName = \"My Application\"\n"
    "# FileDescription = \"My Application launcher\"\n# CompanyName = \"Example Ltd\"\n"
    "# LegalCopyright = \"Copyright (C) 2026 Example Ltd\"\n# OriginalFilename = \"myapp.exe\"\n"
    "# InternalName = \"myapp\"\n# Comments = \"\"\n# LegalTrademarks = \"\"\n# PrivateBuild = \"\"\n"
    "# SpecialBuild = \"\"\n";

// A new configuration takes today's reference rules; bodies keep the stored rules as
// their default, for the launchers made before.
std::string switchedOn(const EntryInfo& e) {
    return "# " + std::string(entryMeaning(e)) +
           ".\n# false: the rules of older launchers, where an undefined %NAME% and %% vanish.\n" +
           std::string(e.name) + " = true\n\n";
}

}  // namespace

std::string sampleConfig(const std::string& target) {
    std::string out =
        "# varnlet-pack configuration. Build the launcher with:  varnlet-pack build THIS-FILE\n"
        "# Every entry below shows the default of the launcher body; uncomment and change\n"
        "# what your application needs. Entries left out keep the body's defaults.\n"
        "# Relative paths in this file (output, icon) are relative to this file's directory.\n\n"
        "# The launcher body: \"win32\" (varnlet.exe), \"win64\" (varnlet64.exe) or \"linux\" (varnlet).\n"
        "target = " +
        tomlString(target) +
        "\n"
        "# output = \"myapp" +
        (target == "linux" ? "\"\n\n" : ".exe\"\n") + (target == "linux" ? "" : kWindowsKeys);
    for (size_t i = 0; i < kEntryCount; ++i) {
        const EntryInfo& e = kEntries[i];
        if (e.type == EntryType::Message || (target == "linux" && windowsOnlyEntry(e.id))) continue;
        if (e.id == kEntryJvmPath) out += kSearchOrder;
        if (e.id == kEntryModernReferences) {
            out += switchedOn(e);
            continue;
        }
        if (e.id == kEntryStayInStartupDir) out += kCommandLineTools;
        if (e.id == kEntryMainJar) out += kShippedForms;
        out += "# " + std::string(entryMeaning(e)) + ".\n";
        if (e.shape == EntryShape::List || e.shape == EntryShape::PathList)
            out += "# A string with ';' between entries, or an array of strings.\n";
        if (e.shape == EntryShape::OptionList)
            out += "# A string, or an array of strings with one option each (quoted as needed when stored).\n";
        if (e.id == kEntryClassDataCache) {  // on for new applications; it writes files, so bodies keep it off
            out += std::string(e.name) + " = true\n\n";
            continue;
        }
        if (e.type == EntryType::Integer && e.id != kEntryJavaSearchMode && hasOwnRange(e))
            out += "# " + std::to_string(e.low) + " to " + std::to_string(e.high) + e.unit + ".\n";
        if (e.type == EntryType::Hex)
            out +=
                "# Written as a major version (\"17\"), as major.minor (\"1.8\") or as a hexadecimal number such as "
                "\"0x00010008\".\n";
        if (e.type == EntryType::Scrambled)
            out += "# Required: the class name with dots, such as \"com.example.Main\" (stored scrambled).\n";
        if (e.type == EntryType::Text || e.type == EntryType::ReservedText) out += "# At most 1023 characters.\n";
        out += "# " + std::string(e.name) + " = " + tomlValue(e) + "\n\n";
    }
    out += "# Message formats, by id or by name; each holds at most one \"%s\" (write % as %%).\n[messages]\n";
    for (size_t i = 0; i < kEntryCount; ++i) {
        const EntryInfo& e = kEntries[i];
        if (e.type != EntryType::Message) continue;
        out += "# " + std::string(entryMeaning(e)) + ".\n# " + std::to_string(e.id) + " = " +
               tomlString(e.defaultText) + "    # " + e.name + "\n";
    }
    if (target == "linux") return out;
    return out + kVersionTable;
}
