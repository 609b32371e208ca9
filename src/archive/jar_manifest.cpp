// The main section of a jar's manifest: lines end in CR LF, LF or CR; a line that starts
// with a blank continues the one before; the first empty line ends the section.
#include "archive/jar_manifest.h"

#include <cctype>
#include <cstring>

namespace {

bool startsWithName(const std::string& line, const char* name, size_t length) {
    if (line.size() < length + 2 || line.compare(length, 2, ": ") != 0) return false;
    for (size_t i = 0; i < length; ++i)
        if (tolower(static_cast<unsigned char>(line[i])) != tolower(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

}  // namespace

bool manifestAttribute(const std::string& manifest, const char* name, std::string* value) {
    bool found = false, inMatch = false;
    size_t at = manifest.size() >= 3 && manifest.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    size_t nameLength = strlen(name);
    while (at < manifest.size()) {
        size_t end = manifest.find_first_of("\r\n", at);
        if (end == std::string::npos) break;  // a last line without its line break is not read
        std::string line = manifest.substr(at, end - at);
        at = end + (manifest.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (line.empty()) break;
        if (line[0] == ' ') {
            if (inMatch) *value += line.substr(1);
            continue;
        }
        inMatch = startsWithName(line, name, nameLength);
        if (inMatch) {
            *value = line.substr(nameLength + 2);
            found = true;
        }
    }
    return found;
}

bool manifestReadable(const std::string& manifest) {
    if (manifest.compare(0, 3, "\xEF\xBB\xBF") == 0) return false;
    bool mainSection = true, sectionStart = true, afterHeader = false;
    for (size_t at = 0, end; (end = manifest.find_first_of("\r\n", at)) != std::string::npos;) {
        size_t next = end + (manifest.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (next - at > kManifestLineMax) return false;
        std::string line = manifest.substr(at, end - at);
        at = next;
        if (line.empty()) {
            mainSection = afterHeader = false;
            sectionStart = true;
            continue;
        }
        if (line[0] == ' ') {
            if (!afterHeader) return false;  // a continuation of nothing
            continue;
        }
        // A header: a name of letters, digits, '-' and '_', then ": ".
        size_t colon = line.find(':');
        if (colon == 0 || colon == std::string::npos || colon > 70 || line.compare(colon, 2, ": ") != 0) return false;
        for (size_t i = 0; i < colon; ++i)
            if (!isalnum(static_cast<unsigned char>(line[i])) && line[i] != '-' && line[i] != '_') return false;
        // Every section after the main one starts with its Name.
        if (sectionStart && !mainSection && !startsWithName(line, "Name", 4)) return false;
        sectionStart = false;
        afterHeader = true;
    }
    return true;
}
