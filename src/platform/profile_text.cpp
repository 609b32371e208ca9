// The private-profile rules the launcher relies on, over a file's whole text.
#include "platform/profile_text.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/unicode.h"

namespace {

std::string trimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

bool equalsIgnoreCase(const std::string& a, const char* b) {
    size_t n = strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

}  // namespace

bool findProfileValue(std::string content, const char* section, const char* key, std::string* value) {
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        content.erase(0, 3);
    } else if (content.compare(0, 2, "\xFF\xFE") == 0 || content.compare(0, 2, "\xFE\xFF") == 0) {
        size_t low = content[0] == '\xFF' ? 0 : 1;  // where each unit's low byte lies
        std::u16string wide;
        for (size_t i = 2; i + 1 < content.size(); i += 2)
            wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(content[i + low]) |
                                                 (static_cast<unsigned char>(content[i + 1 - low]) << 8)));
        content = utf16ToUtf8(wide);
    }
    bool inSection = false, sectionSeen = false;
    size_t pos = 0;
    while (pos <= content.size()) {
        size_t end = content.find('\n', pos);
        if (end == std::string::npos) end = content.size();
        std::string line = trimBlanks(content.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            std::string name = trimBlanks(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            if (inSection) break;  // only the first section of that name counts
            inSection = !sectionSeen && equalsIgnoreCase(name, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection) continue;
        size_t eq = line.find('=');
        std::string name = trimBlanks(line.substr(0, eq));
        if (!equalsIgnoreCase(name, key)) continue;
        *value = eq == std::string::npos ? std::string() : trimBlanks(line.substr(eq + 1));
        if (value->size() >= 2 && ((*value)[0] == '"' || (*value)[0] == '\'') && value->back() == (*value)[0])
            *value = value->substr(1, value->size() - 2);
        return true;
    }
    return false;
}

bool readProfileValue(const char* file, const char* section, const char* key, std::string* value) {
    FILE* f = fopen(file, "rb");
    if (!f) return false;
    std::string content;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) content.append(chunk, got);
    fclose(f);
    return findProfileValue(content, section, key, value);
}

uint32_t copyProfileValue(const std::string& value, char* buffer, uint32_t size) {
    if (size == 0) return 0;
    size_t n = value.size() < size - 1 ? value.size() : size - 1;
    memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return static_cast<uint32_t>(n);
}
