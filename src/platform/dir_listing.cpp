// The packed directory listing the platform's listing call fills.
#include <cstring>

#include "platform/platform.h"

void DirListing::clear() {
    names.clear();
    entries.clear();
    hasIdentity = false;
}

bool DirListing::add(const char* name, size_t length, bool isDirectory) {
    size_t offset = names.size();
    if (length >= UINT32_MAX || offset > UINT32_MAX - 1 - length) return false;
    names.resize(offset + length + 1);
    std::memcpy(names.data() + offset, name, length + 1);
    entries.push_back(DirName{static_cast<uint32_t>(offset), static_cast<uint32_t>(length), isDirectory});
    return true;
}
