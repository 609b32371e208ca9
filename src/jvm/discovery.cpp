// Runtime discovery: the configured list, then (or first) the registry, and when both found
// nothing the runtimes installed without registry entries. Every probe that fails just
// moves on to the next candidate; the caller reports a search that found nothing.
#include "jvm/discovery.h"

#include <cstring>
#include <string>

#include "jvm/installed_runtimes.h"
#include "jvm/next_token.h"
#include "jvm/runtime_home.h"
#include "core/config.h"
#include "core/trace.h"

namespace {

constexpr size_t kMaxRuntimeKeys = 32;

bool copyIfFits(char* buffer, size_t size, const char* text) {
    size_t n = std::strlen(text);
    if (n + 1 > size) return false;
    std::memcpy(buffer, text, n + 1);
    return true;
}

// The key path buffer holds the parent key; append "\" and the version so it names the
// version's own key. Refused when the registry could not hold such a path.
bool appendVersion(char* keyPath, const char* versionName) {
    size_t base = std::strlen(keyPath);
    size_t n = std::strlen(versionName);
    if (base + 1 + n + 1 > kRegistryPathSize) return false;
    keyPath[base] = '\\';
    std::memcpy(keyPath + base + 1, versionName, n + 1);
    return true;
}

bool searchVersionedKey(const char* key, char* buffer, size_t size) {
    char keyPath[kRegistryPathSize];
    char version[kRegistryPathSize];
    if (!copyIfFits(keyPath, sizeof keyPath, key)) return false;
    if (readRegistryString(RegistryRoot::LocalMachine, keyPath, "CurrentVersion", version, sizeof version) ==
            RegistryText::Read &&
        tryRuntimeVersion(keyPath, version, buffer, size))
        return true;

    return anySubkey(key, [&](const char* name) {
        std::memcpy(keyPath, key, std::strlen(key) + 1);
        return tryRuntimeVersion(keyPath, name, buffer, size);
    });
}

}  // namespace

bool findConfiguredJvm(char* buffer, size_t size) {
    if (Config.JvmPath == nullptr || Config.JvmPath[0] == '\0') {
        trace("JvmPath: empty");
        return false;
    }
    char* cursor = nullptr;
    for (char* entry = nextToken(Config.JvmPath, ";", &cursor); entry != nullptr;
         entry = nextToken(Config.JvmPath, ";", &cursor)) {
        if (std::strlen(entry) + 1 > size) {
            trace("JvmPath: ", entry, ": too long");
            continue;
        }
        bool exists = fileExists(entry);
        trace("JvmPath: ", entry, exists ? ": taken" : ": not there");
        if (exists) return copyIfFits(buffer, size, entry);
    }
    return false;
}

bool tryRuntimeVersion(char* keyPath, const char* versionName, char* buffer, size_t size) {
    if (!versionPasses(versionName, false)) {
        trace("registry: ", keyPath, "\\", (std::string(versionName) + ": below MinJavaVersion").c_str());
        return false;
    }
    if (!appendVersion(keyPath, versionName)) return false;
    trace("registry: ", keyPath);

    std::memset(State.DiscoveredJavaHome, 0, sizeof State.DiscoveredJavaHome);
    readRegistryString(RegistryRoot::LocalMachine, keyPath, "JavaHome", State.DiscoveredJavaHome,
                       sizeof State.DiscoveredJavaHome);

    std::memset(buffer, 0, size);
    if (readRegistryString(RegistryRoot::LocalMachine, keyPath, "RuntimeLib", buffer, size) == RegistryText::Read) {
        if (fileExists(buffer)) return true;
        // The runtime names its own library and it is gone: do not guess another.
        trace("  RuntimeLib not there: ", buffer);
        std::memset(buffer, 0, size);
        return false;
    }
    return tryHomeCandidates(State.DiscoveredJavaHome, buffer, size);
}

bool findRegistryJvm(char* buffer, size_t size) {
    if (!Platform.traits.hasRegistry) return false;  // a trace of keys never read would only mislead
    const RuntimeKey* keys[kMaxRuntimeKeys];
    size_t count = selectRuntimeKeys(Config.JavaSearchMode, keys, kMaxRuntimeKeys);
    for (size_t i = 0; i < count; ++i) {
        const RuntimeKey& key = *keys[i];
        trace("registry: looking in HKLM\\", key.path);
        bool found = key.layout == KeyLayout::Versioned ? searchVersionedKey(key.path, buffer, size)
                                                        : searchVendorKey(key, buffer, size);
        if (found) return true;
    }
    return false;
}

bool locateJvm(char* buffer, size_t size) {
    bool found = Config.JavaSearchMode > 3 ? findRegistryJvm(buffer, size) || findConfiguredJvm(buffer, size)
                                           : findConfiguredJvm(buffer, size) || findRegistryJvm(buffer, size);
    if (!found) found = findInstalledJvm(buffer, size);
    trace(found ? "runtime library: " : "no runtime found", found ? buffer : nullptr);
    return found;
}
