// POSIX backend: string-table reads from the configuration section, and the INI reader.
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "platform/config_section.h"
#include "platform/posix/backend.h"
#include "platform/profile_text.h"
#include "platform/unicode.h"

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

// A value that is not UTF-8 was saved by an editor in a legacy single-byte code page; Linux
// has no system-wide one, so it is read as ISO-8859-1, which gives every byte a character.
uint32_t posixReadProfileString(const char* section, const char* key, const char* defaultText, char* buffer,
                                uint32_t size, const char* file) {
    std::string value;
    if (!readProfileValue(file, section, key, &value))
        return copyProfileValue(defaultText ? defaultText : "", buffer, size);
    if (!isValidUtf8(value)) {
        std::string decoded;
        for (unsigned char c : value) appendUtf8(decoded, c);
        value = decoded;
    }
    return copyProfileValue(value, buffer, size);
}
