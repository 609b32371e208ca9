// Win32 backend: the process's ANSI code page to and from UTF-16, the command line, and the
// heap's free memory.
#include <windows.h>
#include <malloc.h>

#include "platform/win32/backend.h"

void win32DecodeCodePage(const char* text, std::u16string* out) {
    out->clear();
    if (!text || !*text) return;
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    out->assign(wide.begin(), wide.end());
}

void win32EncodeCodePage(const std::u16string& text, std::string* out) {
    out->clear();
    if (text.empty()) return;
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
    int units = static_cast<int>(text.size());
    int n = WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return;
    out->resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_ACP, 0, wide, units, &(*out)[0], n, nullptr, nullptr);
}

bool win32CommandLine(std::u16string* out) {
    const wchar_t* line = GetCommandLineW();
    if (!line) return false;
    out->assign(reinterpret_cast<const char16_t*>(line));
    return true;
}

void win32ReleaseFreeMemory() { _heapmin(); }
