// Runtime discovery: the configured list, then (or first) the registry, and when both found
// nothing the runtimes installed without registry entries. Every probe that fails just
// moves on to the next candidate; the caller reports a search that found nothing.
#include "jvm/discovery.h"

#include <cstring>
#include <string>
#include <vector>

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

bool searchVersionedKey(const char* key, RuntimeSearch& search, char* buffer, size_t size) {
    char keyPath[kRegistryPathSize];
    char version[kRegistryPathSize];
    if (!copyIfFits(keyPath, sizeof keyPath, key)) return false;
    if (readRegistryString(RegistryRoot::LocalMachine, keyPath, "CurrentVersion", version, sizeof version) ==
            RegistryText::Read &&
        tryRuntimeVersion(keyPath, version, search, buffer, size))
        return true;

    return anySubkey(key, [&](const char* name) {
        std::memcpy(keyPath, key, std::strlen(key) + 1);
        return tryRuntimeVersion(keyPath, name, search, buffer, size);
    });
}

}  // namespace

bool findConfiguredJvm(const char* list, char* buffer, size_t size) {
    if (list == nullptr || list[0] == '\0') {
        trace("JvmPath: empty");
        return false;
    }
    std::vector<char> text(list, list + std::strlen(list) + 1);
    char* cursor = nullptr;
    for (char* entry = nextToken(text.data(), ";", &cursor); entry != nullptr;
         entry = nextToken(text.data(), ";", &cursor)) {
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

std::string jvmPathAfterListSearch(const char* list) {
    std::string text = list != nullptr ? list : "";
    size_t first = text.find_first_not_of(';');
    return first == std::string::npos ? text : text.substr(0, text.find(';', first));
}

bool tryRuntimeVersion(char* keyPath, const char* versionName, RuntimeSearch& search, char* buffer, size_t size) {
    if (!versionPasses(versionName, false)) {
        trace("registry: ", keyPath, "\\", (std::string(versionName) + ": below MinJavaVersion").c_str());
        return false;
    }
    if (!appendVersion(keyPath, versionName)) return false;
    trace("registry: ", keyPath);

    std::memset(search.home, 0, sizeof search.home);
    readRegistryString(RegistryRoot::LocalMachine, keyPath, "JavaHome", search.home, sizeof search.home);

    std::memset(buffer, 0, size);
    if (readRegistryString(RegistryRoot::LocalMachine, keyPath, "RuntimeLib", buffer, size) == RegistryText::Read) {
        if (fileExists(buffer)) return true;
        // The runtime names its own library and it is gone: do not guess another.
        trace("  RuntimeLib not there: ", buffer);
        std::memset(buffer, 0, size);
        return false;
    }
    return tryHomeCandidates(search.home, search.jvmPathUnderHome, buffer, size);
}

bool findRegistryJvm(RuntimeSearch& search, char* buffer, size_t size) {
    if (!Platform.traits.hasRegistry) return false;  // a trace of keys never read would only mislead
    const RuntimeKey* keys[kMaxRuntimeKeys];
    size_t count = selectRuntimeKeys(Config.JavaSearchMode, keys, kMaxRuntimeKeys);
    for (size_t i = 0; i < count; ++i) {
        const RuntimeKey& key = *keys[i];
        trace("registry: looking in HKLM\\", key.path);
        bool found = key.layout == KeyLayout::Versioned ? searchVersionedKey(key.path, search, buffer, size)
                                                        : searchVendorKey(key, search, buffer, size);
        if (found) return true;
    }
    return false;
}

RuntimeChoice locateJvm() {
    RuntimeSearch search{};
    const char* list = Config.JvmPath;
    // Each home is tried with the whole JvmPath text until the list itself has been searched,
    // and with its first entry after that.
    search.jvmPathUnderHome = list != nullptr ? list : "";
    char buffer[kPathBufferSize] = "";
    auto searchList = [&] {
        bool found = findConfiguredJvm(list, buffer, sizeof buffer);
        search.jvmPathUnderHome = jvmPathAfterListSearch(list);
        return found;
    };
    auto searchRegistry = [&] { return findRegistryJvm(search, buffer, sizeof buffer); };
    bool found = Config.JavaSearchMode > 3 ? searchRegistry() || searchList() : searchList() || searchRegistry();
    if (!found) found = findInstalledJvm(search, buffer, sizeof buffer);
    trace(found ? "runtime library: " : "no runtime found", found ? buffer : nullptr);
    return {found ? buffer : "", search.home};
}
