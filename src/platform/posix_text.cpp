// POSIX backend: the process's code page (taken to be UTF-8), and the heap's free memory.
#include <malloc.h>

#include "platform/unicode.h"
#include "platform/posix_backend.h"

void posixDecodeCodePage(const char* text, std::u16string* out) { *out = utf8ToUtf16(text ? text : ""); }

void posixReleaseFreeMemory() { malloc_trim(0); }
