// Running out of memory: the one way the launcher meets it. The run ends with a report, as
// the java command's own launcher does, instead of every caller carrying a failure it can
// do nothing useful with.
#pragma once
#include <cstddef>

// The report the run ends with.
constexpr const char* kOutOfMemoryText = "Out of memory.";

// Reports kOutOfMemoryText (a message box, a console line or an event, as every report) and
// ends the process with the launcher's failure code.
[[noreturn]] void outOfMemory();
// The same for any failure nothing can go on from (the C++ library's own error paths in the
// launcher). A second call, from the report itself or another thread, ends the process at once.
[[noreturn]] void endRunWithError(const char* text);

// malloc, calloc and realloc that never return null: memory that cannot be had, or a size
// that cannot be counted, ends the run through outOfMemory.
void* allocate(size_t size);
void* allocateZeroed(size_t count, size_t size);
void* reallocate(void* block, size_t size);
// `length` bytes of `text` and a terminator, as a new heap text.
char* heapCopy(const char* text, size_t length);
char* heapCopy(const char* text);
