// POSIX backend: the process's code page (taken to be UTF-8), the arguments the system split,
// and the heap's free memory.
#include <malloc.h>

#include "platform/posix/backend.h"
#include "platform/unicode.h"

void posixDecodeCodePage(const char* text, std::u16string* out) { *out = utf8ToUtf16(text ? text : ""); }

void posixEncodeCodePage(const std::u16string& text, std::string* out) { *out = utf16ToUtf8(text); }

bool posixCommandLine(std::u16string*) { return false; }

void posixReleaseFreeMemory() { malloc_trim(0); }
