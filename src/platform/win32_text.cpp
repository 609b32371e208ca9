// Win32 backend: the process's ANSI code page decoded to UTF-16, and the heap's free memory.
#include <windows.h>
#include <malloc.h>

#include "platform/win32_backend.h"

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

void win32ReleaseFreeMemory() { _heapmin(); }
