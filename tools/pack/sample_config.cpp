// The sample configuration: every entry commented out with its default and meaning,
// so a user uncomments what the application needs.
#include "sample_config.h"

#include "core/entries.h"
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

}  // namespace

std::string sampleConfig(const std::string& target) {
    std::string out =
        "# varnlet-pack configuration. Build the launcher with:  varnlet-pack build THIS-FILE\n"
        "# Every entry below shows the default of the launcher body; uncomment and change\n"
        "# what your application needs. Entries left out keep the body's defaults.\n"
        "# Relative paths in this file (output, icon) are relative to this file's directory.\n\n"
        "# The launcher body: \"win32\" (varnlet.exe), \"win64\" (varnlet64.exe) or \"linux\" (varnlet).\n"
        "target = " + tomlString(target) + "\n"
        "# output = \"myapp" + (target == "linux" ? "" : ".exe") + "\"\n"
        "# The application icon, a .ico file (Windows only; all its images are used).\n"
        "# icon = \"myapp.ico\"\n"
        "# A windowed launcher (Windows only): no console window; reports appear in message boxes.\n"
        "# gui = false\n\n";
    for (size_t i = 0; i < kEntryCount; ++i) {
        const EntryInfo& e = kEntries[i];
        if (e.type == EntryType::Message) continue;
        if (e.id == 1040) out += kSearchOrder;
        out += "# " + std::string(e.meaning) + ".\n";
        if (e.id == 1040 || e.id == 1072 || e.id == 1824) out += "# A string with ';' between entries, or an array of strings.\n";
        int64_t low, high;
        std::string unit;
        if (e.type == EntryType::Integer && e.id != 1088 && integerRange(e.id, &low, &high, &unit))
            out += "# " + std::to_string(low) + " to " + std::to_string(high) + unit + ".\n";
        if (e.type == EntryType::Hex) out += "# Written as a major version (\"17\"), as major.minor (\"1.8\") or as a hexadecimal number such as \"0x00010008\".\n";
        if (e.type == EntryType::Scrambled) out += "# Required: the class name with dots, such as \"com.example.Main\" (stored scrambled).\n";
        if (e.type == EntryType::Text || e.type == EntryType::ReservedText) out += "# At most 1023 characters.\n";
        out += "# " + std::string(e.name) + " = " + tomlValue(e) + "\n\n";
    }
    out += "# Message formats, by id or by name; each holds at most one \"%s\" (write % as %%).\n[messages]\n";
    for (size_t i = 0; i < kEntryCount; ++i) {
        const EntryInfo& e = kEntries[i];
        if (e.type != EntryType::Message) continue;
        out += "# " + std::string(e.meaning) + ".\n# " + std::to_string(e.id) + " = " + tomlString(e.defaultText) +
               "    # " + e.name + "\n";
    }
    out += "\n# Version information of the executable (Windows only). FileVersion and ProductVersion\n"
           "# are numbers separated by dots and also set the numeric versions.\n[version]\n"
           "# FileVersion = \"1.0.0.0\"\n# ProductVersion = \"1.0.0.0\"\n# ProductName = \"My Application\"\n"
           "# FileDescription = \"My Application launcher\"\n# CompanyName = \"Example Ltd\"\n"
           "# LegalCopyright = \"Copyright (C) 2026 Example Ltd\"\n# OriginalFilename = \"myapp.exe\"\n"
           "# InternalName = \"myapp\"\n";
    return out;
}
