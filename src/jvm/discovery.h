// Finding the Java runtime library: the configured JvmPath list and the registry keys
// that installed runtimes and development kits write.
#pragma once
#include <cstddef>
#include <cstdint>

#include "launcher/state.h"
#include "platform/platform.h"

// Registry key paths and version names, as the registry limits them (255 characters).
constexpr size_t kRegistryPathSize = 256;

// Fills `buffer` with the path of an existing runtime library. Searches JvmPath first,
// or the registry first when JavaSearchMode is above 3. Reports nothing.
bool locateJvm(char* buffer, size_t size = kPathBufferSize);

// The first JvmPath entry (';'-separated) that names a readable file. Splits JvmPath in
// place. An entry too long for the buffer is skipped, never truncated.
bool findConfiguredJvm(char* buffer, size_t size);

// The registry search in the order JavaSearchMode selects; records the Java home of the
// last version that passed the version check in State.DiscoveredJavaHome.
bool findRegistryJvm(char* buffer, size_t size);

// Version check and library candidates for the version key `keyPath`\`versionName`.
// `keyPath` is a kRegistryPathSize buffer holding the parent key; the version is
// appended to it.
bool tryRuntimeVersion(char* keyPath, const char* versionName, char* buffer, size_t size);

// 0: the value was read and is a string; 1: the key exists but the value is missing, too
// long for the buffer or not a string (the buffer is then empty); -1: no such key.
int readRegistryString(RegistryRoot root, const char* subkey, const char* valueName, char* buffer, size_t size);

// True when the file can be opened for reading; directories do not count.
bool fileExists(const char* path);

// Calls visit(name) for each subkey of HKLM\`key` until it returns true; true when one
// did. A name longer than the registry allows is skipped, not cut.
template <typename Visit>
bool anySubkey(const char* key, Visit visit) {
    PlatformHandle handle = nullptr;
    if (Platform.regOpenKey(RegistryRoot::LocalMachine, key, kKeyRead, &handle) != 0) return false;
    char name[kRegistryPathSize];
    bool found = false;
    for (uint32_t index = 0; !found; ++index) {
        uint32_t nameSize = sizeof name;
        long rc = Platform.regEnumKey(handle, index, name, &nameSize);
        if (rc == kErrorMoreData) continue;
        if (rc != 0) break;
        name[sizeof name - 1] = '\0';
        found = visit(static_cast<const char*>(name));
    }
    Platform.regCloseKey(handle);
    return found;
}
