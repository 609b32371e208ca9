// POSIX backend: string-table reads from the configuration section, and the INI reader.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "platform/unicode.h"
#include "platform/config_section.h"
#include "platform/posix_backend.h"

const unsigned char* configSectionBytes();

int posixLoadString(unsigned id, char* buffer, int size) {
    if (size <= 0) return 0;
    buffer[0] = '\0';
    const unsigned char* units = nullptr;
    size_t count = 0;
    if (!findConfigBlock(configSectionBytes(), kConfigSectionSize, id, &units, &count) || count == 0) return 0;
    std::u16string wide(count, u'\0');
    for (size_t i = 0; i < count; ++i) wide[i] = static_cast<char16_t>(units[2 * i] | (units[2 * i + 1] << 8));
    std::string text = utf16ToUtf8(wide);
    // Like LoadStringA: cut to the buffer, but never inside a character.
    size_t n = text.size();
    if (n > static_cast<size_t>(size - 1)) {
        n = static_cast<size_t>(size - 1);
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

bool posixCanOpenForReading(const char* path) {
    FILE* f = fopen(path, "r");
    if (!f) return false;
    struct stat st;
    bool regular = fstat(fileno(f), &st) == 0 && !S_ISDIR(st.st_mode);
    fclose(f);
    return regular;
}

static std::string trimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

static bool equalsIgnoreCase(const std::string& a, const char* b) {
    size_t n = strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

static uint32_t copyOut(const std::string& value, char* buffer, uint32_t size) {
    if (size == 0) return 0;
    size_t n = value.size() < size - 1 ? value.size() : size - 1;
    memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return static_cast<uint32_t>(n);
}

// The private-profile rules the launcher relies on: the first section and key of that name
// (case-insensitive), blanks around names and values trimmed, one pair of enclosing quotes
// removed, the value cut to the buffer.
uint32_t posixReadProfileString(const char* section, const char* key, const char* defaultText,
                                char* buffer, uint32_t size, const char* file) {
    std::string fallback = defaultText ? defaultText : "";
    FILE* f = fopen(file, "rb");
    if (!f) return copyOut(fallback, buffer, size);
    std::string content;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) content.append(chunk, got);
    fclose(f);

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
        std::string value = eq == std::string::npos ? std::string() : trimBlanks(line.substr(eq + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        return copyOut(value, buffer, size);
    }
    return copyOut(fallback, buffer, size);
}
