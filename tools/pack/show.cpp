// Rendering of a launcher's contents. The main class is shown descrambled; each entry
// says whether it differs from the default of this build.
#include "show.h"

#include <cstdio>

#include "entries/entries.h"
#include "entries/text_encoding.h"

namespace {

struct EntryView {
    const EntryInfo* info;
    bool present;
    std::string stored;  // UTF-8
    std::string value;  // shown value (main class descrambled)
    bool valid;  // false when a scrambled text does not descramble
    bool changed;
};

EntryView viewEntry(const EntryInfo& info, const LauncherContents& c) {
    EntryView v{&info, false, "", "", true, false};
    auto it = c.entries.find(info.id);
    if (it != c.entries.end()) {
        v.present = true;
        v.stored = utf16ToUtf8(it->second);
    }
    v.value = v.stored;
    if (info.type == EntryType::Scrambled) {
        const char* plain = descrambleText(v.stored.c_str());
        v.valid = plain != nullptr;
        v.value = plain ? plain : "";
    }
    v.changed = v.stored != info.defaultText;  // a missing entry reads as empty
    return v;
}

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string hexId(uint16_t id) {
    char s[8];
    snprintf(s, sizeof s, "0x%04X", id);
    return s;
}

}  // namespace

std::string showText(const std::string& file, const LauncherContents& c) {
    std::string out =
        file + ": " + targetOfFormat(c.format) + " launcher, " + (c.windowed ? "windowed" : "console") + "\n";
    if (c.signedFile) out += "signed: yes (Authenticode)\n";
    out += "\nEntries (* differs from the default):\n";
    for (size_t i = 0; i < kEntryCount; ++i) {
        EntryView v = viewEntry(kEntries[i], c);
        char head[64];
        snprintf(head, sizeof head, "%c %4u %-20s ", v.changed ? '*' : ' ', v.info->id, v.info->name);
        out += head;
        if (!v.present) out += "(missing: reads as empty)";
        else if (!v.valid) out += quoted(v.stored) + " (not a valid scrambled name)";
        else out += quoted(v.value);
        out += "\n";
    }
    if (c.format != LauncherFormat::Elf) {
        out += "\nIcon MAINICON: ";
        if (!c.hasIcon) out += "none";
        for (size_t i = 0; i < c.icon.size(); ++i) out += (i ? ", " : "") + describeIconEntry(c.icon[i]);
        out += "\nVersion information:";
        if (!c.hasVersion) out += " none\n";
        else {
            out += "\n  file version    " + versionNumberText(c.version.fileVersion) + "\n";
            out += "  product version " + versionNumberText(c.version.productVersion) + "\n";
            for (const auto& s : c.version.strings)
                out += "  " + utf16ToUtf8(s.first) + " = " + quoted(utf16ToUtf8(s.second)) + "\n";
        }
        out +=
            "Execution level: " + (c.executionLevel.empty() ? std::string("none requested") : c.executionLevel) + "\n";
        out += "DPI awareness: " + (c.dpiAwareness.empty() ? std::string("none declared") : c.dpiAwareness) + "\n";
        out += "\nResources:\n";
        for (const ResourceSummary& r : c.resources)
            out += "  " + r.type + " " + r.name + " language " + hexId(r.language) + ", " + std::to_string(r.size) +
                   " bytes\n";
    }
    return out;
}

std::string showJson(const std::string& file, const LauncherContents& c) {
    std::string out = "{\n  \"file\": " + quoted(file) + ",\n  \"target\": \"" + targetOfFormat(c.format) + "\",\n";
    out += std::string("  \"kind\": \"") + (c.windowed ? "windowed" : "console") + "\",\n";
    out += std::string("  \"signed\": ") + (c.signedFile ? "true" : "false") + ",\n  \"entries\": [\n";
    for (size_t i = 0; i < kEntryCount; ++i) {
        EntryView v = viewEntry(kEntries[i], c);
        out += "    {\"id\": " + std::to_string(v.info->id) + ", \"name\": " + quoted(v.info->name) +
               ", \"present\": " + (v.present ? "true" : "false") + ", \"value\": " + quoted(v.value) +
               ", \"stored\": " + quoted(v.stored) + ", \"default\": " + quoted(v.info->defaultText) +
               ", \"changed\": " + (v.changed ? "true" : "false") + (v.valid ? "" : ", \"invalid\": true") + "}" +
               (i + 1 < kEntryCount ? ",\n" : "\n");
    }
    out += "  ],\n  \"icon\": ";
    if (!c.hasIcon) out += "null";
    else {
        out += "[";
        for (size_t i = 0; i < c.icon.size(); ++i) {
            const GroupIconEntry& e = c.icon[i];
            out += std::string(i ? ", " : "") + "{\"width\": " + std::to_string(e.width ? e.width : 256) +
                   ", \"height\": " + std::to_string(e.height ? e.height : 256) +
                   ", \"bitCount\": " + std::to_string(e.bitCount) + ", \"bytes\": " + std::to_string(e.bytes) +
                   ", \"id\": " + std::to_string(e.id) + "}";
        }
        out += "]";
    }
    out += ",\n  \"version\": ";
    if (!c.hasVersion) out += "null";
    else {
        out += "{\"fileVersion\": " + quoted(versionNumberText(c.version.fileVersion)) +
               ", \"productVersion\": " + quoted(versionNumberText(c.version.productVersion)) + ", \"strings\": {";
        for (size_t i = 0; i < c.version.strings.size(); ++i)
            out += std::string(i ? ", " : "") + quoted(utf16ToUtf8(c.version.strings[i].first)) + ": " +
                   quoted(utf16ToUtf8(c.version.strings[i].second));
        out += "}}";
    }
    out += ",\n  \"executionLevel\": " + (c.executionLevel.empty() ? std::string("null") : quoted(c.executionLevel));
    out += ",\n  \"dpiAwareness\": " + (c.dpiAwareness.empty() ? std::string("null") : quoted(c.dpiAwareness));
    out += ",\n  \"resources\": [";
    for (size_t i = 0; i < c.resources.size(); ++i) {
        const ResourceSummary& r = c.resources[i];
        out += std::string(i ? ", " : "") + "{\"type\": " + quoted(r.type) + ", \"name\": " + quoted(r.name) +
               ", \"language\": " + std::to_string(r.language) + ", \"size\": " + std::to_string(r.size) + "}";
    }
    out += "]\n}\n";
    return out;
}
