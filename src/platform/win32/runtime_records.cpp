// Win32 backend: the records Java installers leave in the registry, walked over a small
// reader (win32_registry.cpp gives the real registry, the unit tests a fake one): the classic
// keys every older installer writes, then those of Java 9 and later, each kind in the order
// asked for.
#include <cctype>
#include <cstring>
#include <iterator>
#include <string>

#include "platform/win32/backend.h"

namespace {

// Key paths and version names, as the registry limits them (255 characters).
constexpr size_t kRegistryPathSize = 256;

enum class KeyLayout {
    Versioned,  // CurrentVersion, version subkeys with JavaHome and RuntimeLib
    VendorMsi,  // version subkeys holding <vm>\MSI with the home in "Path"
    Zulu,  // zulu-<N> subkeys with the home in "InstallationPath"
};

struct RuntimeKey {
    const char* path;
    RuntimeKind kind;
    KeyLayout layout;
};

// The keys every older installer writes, in their historical order.
const RuntimeKey kClassicKeys[] = {
    {"Software\\JavaSoft\\Java Runtime Environment", RuntimeKind::Runtime, KeyLayout::Versioned},
    {"Software\\IBM\\Java2 Runtime Environment", RuntimeKind::Runtime, KeyLayout::Versioned},
    {"Software\\JavaSoft\\Java Development Kit", RuntimeKind::DevelopmentKit, KeyLayout::Versioned},
    {"Software\\IBM\\Java Development Kit", RuntimeKind::DevelopmentKit, KeyLayout::Versioned},
};

// What the installers of Java 9 and later write.
const RuntimeKey kCurrentKeys[] = {
    {"Software\\JavaSoft\\JRE", RuntimeKind::Runtime, KeyLayout::Versioned},
    {"Software\\Eclipse Adoptium\\JRE", RuntimeKind::Runtime, KeyLayout::VendorMsi},
    {"Software\\AdoptOpenJDK\\JRE", RuntimeKind::Runtime, KeyLayout::VendorMsi},
    {"Software\\Eclipse Foundation\\JRE", RuntimeKind::Runtime, KeyLayout::VendorMsi},
    {"Software\\Semeru\\JRE", RuntimeKind::Runtime, KeyLayout::VendorMsi},
    {"Software\\Azul Systems\\Zulu", RuntimeKind::Runtime, KeyLayout::Zulu},
    {"Software\\JavaSoft\\JDK", RuntimeKind::DevelopmentKit, KeyLayout::Versioned},
    {"Software\\Eclipse Adoptium\\JDK", RuntimeKind::DevelopmentKit, KeyLayout::VendorMsi},
    {"Software\\AdoptOpenJDK\\JDK", RuntimeKind::DevelopmentKit, KeyLayout::VendorMsi},
    {"Software\\Eclipse Foundation\\JDK", RuntimeKind::DevelopmentKit, KeyLayout::VendorMsi},
    {"Software\\Microsoft\\JDK", RuntimeKind::DevelopmentKit, KeyLayout::VendorMsi},
    {"Software\\Semeru\\JDK", RuntimeKind::DevelopmentKit, KeyLayout::VendorMsi},
    {"Software\\Azul Systems\\Zulu", RuntimeKind::DevelopmentKit, KeyLayout::Zulu},
};

const char* const kVirtualMachines[] = {"hotspot", "openj9"};

struct Walk {
    const RegistryReader& reader;
    const RuntimeVisitor* visitor;
};

// A string value into `buffer`; false, with the buffer empty, when the key or the value is
// missing, the value is no string or does not fit.
bool readString(const Walk& walk, const char* path, const char* name, char* buffer, size_t size) {
    buffer[0] = '\0';
    PlatformHandle key = nullptr;
    if (walk.reader.openKey(path, &key).failed()) return false;
    RegistryValueType type = RegistryValueType::Other;
    uint32_t got = static_cast<uint32_t>(size);
    SystemError rc = walk.reader.queryValue(key, name, &type, buffer, &got);
    walk.reader.closeKey(key);
    // The registry does not promise a terminator: a value that fills the buffer without one
    // did not fit.
    bool fits = got < size || (got == size && buffer[size - 1] == '\0');
    if (rc.failed() || type != RegistryValueType::Text || !fits) {
        std::memset(buffer, 0, size);
        return false;
    }
    buffer[got < size ? got : size - 1] = '\0';
    return true;
}

// Calls visit(name) for each subkey of `key` until it returns true; true when one did. A
// name longer than the registry allows is skipped, not cut.
template <typename Visit>
bool anySubkey(const Walk& walk, const char* key, Visit visit) {
    PlatformHandle handle = nullptr;
    if (walk.reader.openKey(key, &handle).failed()) return false;
    char name[kRegistryPathSize];
    bool found = false;
    for (uint32_t index = 0; !found; ++index) {
        uint32_t nameSize = sizeof name;
        SystemError rc = walk.reader.enumKey(handle, index, name, &nameSize);
        if (rc.kind == ErrorKind::MoreData) continue;
        if (rc.failed()) break;
        name[sizeof name - 1] = '\0';
        found = visit(static_cast<const char*>(name));
    }
    walk.reader.closeKey(handle);
    return found;
}

bool visitVersion(const Walk& walk, const RuntimeKey& key, const char* version) {
    std::string place = std::string(key.path) + "\\" + version;
    bool readable = place.size() + 1 <= kRegistryPathSize;
    char home[kPlatformPathBytes] = "";
    char library[kPlatformPathBytes] = "";
    bool named = false;
    if (readable) {
        readString(walk, place.c_str(), "JavaHome", home, sizeof home);
        named = readString(walk, place.c_str(), "RuntimeLib", library, sizeof library);
    }
    const char* homes[] = {home};
    InstalledRuntime runtime{place.c_str(), key.kind, version, false, readable, homes, 1, named ? library : nullptr};
    return walk.visitor->visit(walk.visitor->context, runtime);
}

bool namesRuntime(const char* name) {
    for (const char* p = name; p[0] != '\0'; ++p)
        if (std::tolower(static_cast<unsigned char>(p[0])) == 'j' &&
            std::tolower(static_cast<unsigned char>(p[1])) == 'r' &&
            std::tolower(static_cast<unsigned char>(p[2])) == 'e')
            return true;
    return false;
}

// A vendor's version: its home in the version's own key (Zulu) or in one MSI key per virtual
// machine. A Zulu key holds runtimes and kits side by side, told apart by their names.
bool visitVendorVersion(const Walk& walk, const RuntimeKey& key, const char* version) {
    if (key.layout == KeyLayout::Zulu && namesRuntime(version) != (key.kind == RuntimeKind::Runtime)) return false;
    std::string place = std::string(key.path) + "\\" + version;
    char homes[2][kPlatformPathBytes];
    const char* found[2];
    size_t count = 0;
    auto readHome = [&](const std::string& path, const char* name) {
        if (path.size() + 1 <= kRegistryPathSize &&
            readString(walk, path.c_str(), name, homes[count], kPlatformPathBytes))
            found[count] = homes[count], ++count;
    };
    if (key.layout == KeyLayout::Zulu) readHome(place, "InstallationPath");
    else
        for (const char* vm : kVirtualMachines) readHome(place + "\\" + vm + "\\MSI", "Path");
    InstalledRuntime runtime{place.c_str(), key.kind, version, true, true, found, count, nullptr};
    return walk.visitor->visit(walk.visitor->context, runtime);
}

bool searchKey(const Walk& walk, const RuntimeKey& key) {
    std::string place = std::string("HKLM\\") + key.path;
    walk.visitor->looking(walk.visitor->context, place.c_str());
    if (key.layout != KeyLayout::Versioned)
        return anySubkey(walk, key.path, [&](const char* version) { return visitVendorVersion(walk, key, version); });
    char version[kRegistryPathSize];
    if (readString(walk, key.path, "CurrentVersion", version, sizeof version) && visitVersion(walk, key, version))
        return true;
    return anySubkey(walk, key.path, [&](const char* name) { return visitVersion(walk, key, name); });
}

}  // namespace

bool win32RuntimeRecords(const RegistryReader& reader, const RuntimeKind* kinds, size_t kindCount,
                         const RuntimeVisitor* visitor) {
    Walk walk{reader, visitor};
    for (const auto& group :
         {std::make_pair(kClassicKeys, std::size(kClassicKeys)), std::make_pair(kCurrentKeys, std::size(kCurrentKeys))})
        for (size_t k = 0; k < kindCount; ++k)
            for (size_t i = 0; i < group.second; ++i)
                if (group.first[i].kind == kinds[k] && searchKey(walk, group.first[i])) return true;
    return false;
}
