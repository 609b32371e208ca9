// The packed directory listing the platform's listing call fills. Running out of memory
// is recorded rather than thrown, so a backend can close what it holds and return.
#include <cstring>
#include <new>

#include "platform/platform.h"

void DirListing::clear() {
    names.clear();
    entries.clear();
    hasIdentity = false;
    outOfMemory = false;
}

bool DirListing::add(const char* name, size_t length, bool isDirectory) {
    size_t offset = names.size();
    if (length >= UINT32_MAX || offset > UINT32_MAX - 1 - length) {
        outOfMemory = true;
        return false;
    }
    try {
        names.resize(offset + length + 1);
        std::memcpy(names.data() + offset, name, length + 1);
        entries.push_back(DirName{static_cast<uint32_t>(offset), static_cast<uint32_t>(length), isDirectory});
    } catch (const std::bad_alloc&) {
        names.resize(offset);
        outOfMemory = true;
        return false;
    }
    return true;
}
