// Win32 backend: the executable's string table and private-profile files.
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/profile_text.h"
#include "platform/unicode.h"

#include "platform/win32/backend.h"

int win32LoadString(unsigned id, char* buffer, int size) { return LoadStringA(nullptr, id, buffer, size); }

namespace {

// Text of code page `from` in the process's code page.
std::string recode(const std::string& text, UINT from) {
    if (text.empty()) return text;
    int units = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0) return std::string();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), &wide[0], units);
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), units, &out[0], bytes, nullptr, nullptr);
    return out;
}

// The system's own ANSI code page, which the process's UTF-8 code page hides from GetACP.
UINT legacyCodePage() {
    DWORD codePage = 0;
    if (GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPSTR>(&codePage), sizeof codePage / sizeof(TCHAR)) == 0 ||
        codePage == 0 || codePage == CP_UTF8)
        return 1252;
    return codePage;
}

}  // namespace

// Read here rather than by GetPrivateProfileStringA, which decodes a file without a mark
// in the process's code page: under UTF-8 a value an older editor saved in the legacy code
// page would lose its accented letters. UTF-8 (with or without its mark) is taken as
// UTF-8, anything else as the system's legacy ANSI code page.
uint32_t win32ReadProfileString(const char* section, const char* key, const char* defaultText, char* buffer,
                                uint32_t size, const char* file) {
    std::string value;
    if (!readProfileValue(file, section, key, &value))
        return copyProfileValue(defaultText ? defaultText : "", buffer, size);
    if (!isValidUtf8(value)) value = recode(value, legacyCodePage());
    else if (GetACP() != CP_UTF8) value = recode(value, CP_UTF8);
    return copyProfileValue(value, buffer, size);
}

bool win32CanOpenForReading(const char* path) {
    FILE* f = fopen(path, "r");
    if (!f) return false;
    fclose(f);
    DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
