// POSIX backend: the process's code page is taken to be UTF-8.
#include "launcher/text_encoding.h"
#include "platform/posix_backend.h"

void posixDecodeCodePage(const char* text, std::u16string* out) { *out = utf8ToUtf16(text ? text : ""); }
