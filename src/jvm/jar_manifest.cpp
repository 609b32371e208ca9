// The main section of a jar's manifest: lines end in CR LF, LF or CR; a line that starts
// with a blank continues the one before; the first empty line ends the section.
#include "jvm/jar_manifest.h"

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
        if (end == std::string::npos) end = manifest.size();
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
