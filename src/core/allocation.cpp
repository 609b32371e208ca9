// Ending the run when memory runs out, or on another failure nothing can go on from.
// Reporting needs a little memory of its own (a message box's title, a console line's UTF-16
// form), so a reserve taken at start-up is given back first; a report that still cannot be
// made leaves the process ending quietly.
#include "core/allocation.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/report.h"

namespace {

constexpr size_t kReserveSize = size_t{64} * 1024;
void* reserve = std::malloc(kReserveSize);
std::atomic_flag ending = ATOMIC_FLAG_INIT;
// What every failing run of the launcher ends with.
constexpr int kFailureCode = -1;

void* checked(void* block) {
    if (block == nullptr) outOfMemory();
    return block;
}

}  // namespace

void outOfMemory() { endRunWithError(kOutOfMemoryText); }

void endRunWithError(const char* text) {
    if (ending.test_and_set()) std::_Exit(kFailureCode);
    std::free(reserve);
    reserve = nullptr;
    reportError("%s", text);
    flushReports();
    std::fflush(nullptr);
    // Neither exit handlers nor destructors: they would want memory, and the JVM's threads
    // may still be running.
    std::_Exit(kFailureCode);
}

void* allocate(size_t size) { return checked(std::malloc(size != 0 ? size : 1)); }

void* allocateZeroed(size_t count, size_t size) {
    return checked(std::calloc(count != 0 ? count : 1, size != 0 ? size : 1));
}

void* reallocate(void* block, size_t size) { return checked(std::realloc(block, size != 0 ? size : 1)); }

char* heapCopy(const char* text, size_t length) {
    if (length == static_cast<size_t>(-1)) outOfMemory();
    char* copy = static_cast<char*>(allocate(length + 1));
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

char* heapCopy(const char* text) { return heapCopy(text, std::strlen(text)); }
