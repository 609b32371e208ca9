// The registry layouts of current vendor installers (Adoptium, Microsoft, Semeru, Zulu):
// one subkey per version, the Java home in a value of that subkey or of its <vm>\MSI key.
#include <cctype>
#include <cstring>
#include <string>

#include "jvm/probes.h"
#include "jvm/runtime_home.h"
#include "core/paths.h"

namespace {

const char* const kVirtualMachines[] = {"hotspot", "openj9"};

bool namesRuntime(const char* name) {
    for (const char* p = name; p[0] != '\0'; ++p)
        if (std::tolower(static_cast<unsigned char>(p[0])) == 'j' &&
            std::tolower(static_cast<unsigned char>(p[1])) == 'r' &&
            std::tolower(static_cast<unsigned char>(p[2])) == 'e')
            return true;
    return false;
}

// Reads a home into search.home, without the separator the MSI keys end it with,
// so that %JAVA_HOME%\lib reads as one would write it. Nothing is kept when it does not fit.
bool readHome(RuntimeSearch& search, const std::string& keyPath, const char* valueName) {
    if (keyPath.size() + 1 > kRegistryPathSize) return false;
    char home[kPathBufferSize];
    if (readRegistryString(RegistryRoot::LocalMachine, keyPath.c_str(), valueName, home, sizeof home) !=
        RegistryText::Read)
        return false;
    std::string trimmed = withoutTrailingSeparators(Platform.traits.pathStyle, home);
    if (trimmed.empty()) return false;
    std::memcpy(search.home, trimmed.c_str(), trimmed.size() + 1);
    return true;
}

bool tryVendorVersion(const RuntimeKey& key, const char* version, RuntimeSearch& search, char* buffer, size_t size) {
    if (key.layout == KeyLayout::Zulu && namesRuntime(version) != (key.kind == RuntimeKind::Runtime)) return false;
    if (!versionPasses(version, true)) return false;
    std::memset(search.home, 0, sizeof search.home);
    std::string versionKey = std::string(key.path) + "\\" + version;
    if (key.layout == KeyLayout::Zulu)
        return readHome(search, versionKey, "InstallationPath") &&
               tryHomeCandidates(search.home, search.jvmPathUnderHome, buffer, size);
    for (const char* vm : kVirtualMachines) {
        if (readHome(search, versionKey + "\\" + vm + "\\MSI", "Path") &&
            tryHomeCandidates(search.home, search.jvmPathUnderHome, buffer, size))
            return true;
    }
    return false;
}

}  // namespace

bool searchVendorKey(const RuntimeKey& key, RuntimeSearch& search, char* buffer, size_t size) {
    return anySubkey(key.path,
                     [&](const char* version) { return tryVendorVersion(key, version, search, buffer, size); });
}
