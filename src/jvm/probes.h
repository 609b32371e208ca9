// Probes the runtime searches share: files that exist, registry strings and subkeys.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Registry key paths and version names, as the registry limits them (255 characters).
constexpr size_t kRegistryPathSize = 256;

enum class RegistryText {
    Read,  // the value was read and is a string
    NoValue,  // the key exists but the value is missing, too long for the buffer or not a string
    // (the buffer is then empty)
    NoKey,
};
RegistryText readRegistryString(RegistryRoot root, const char* subkey, const char* valueName, char* buffer,
                                size_t size);

// True when the file can be opened for reading; directories do not count.
bool fileExists(const char* path);

// Calls visit(name) for each subkey of HKLM\`key` until it returns true; true when one
// did. A name longer than the registry allows is skipped, not cut.
template <typename Visit>
bool anySubkey(const char* key, Visit visit) {
    PlatformHandle handle = nullptr;
    if (Platform.registry.openKey(RegistryRoot::LocalMachine, key, kKeyRead, &handle).failed()) return false;
    char name[kRegistryPathSize];
    bool found = false;
    for (uint32_t index = 0; !found; ++index) {
        uint32_t nameSize = sizeof name;
        SystemError rc = Platform.registry.enumKey(handle, index, name, &nameSize);
        if (rc.kind == ErrorKind::MoreData) continue;
        if (rc.failed()) break;
        name[sizeof name - 1] = '\0';
        found = visit(static_cast<const char*>(name));
    }
    Platform.registry.closeKey(handle);
    return found;
}
