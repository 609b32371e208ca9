// A fake HKEY_LOCAL_MACHINE: keys are case-insensitive, values carry their type and
// whether they were stored with a terminator, and queries follow the Win32 size contract.
#include "fakes/fake_registry.h"

#include <cctype>
#include <cstring>

FakeRegistry* FakeRegistry::current = nullptr;

namespace {

std::string lower(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

struct OpenKey {
    std::string path;  // lower-case
};

long fakeOpen(RegistryRoot, const char* path, uint32_t, PlatformHandle* key) {
    FakeRegistry& r = *FakeRegistry::current;
    r.opened.push_back(path);
    *key = nullptr;
    auto it = r.keys.find(lower(path));
    if (it == r.keys.end()) return kErrorFileNotFound;
    *key = new OpenKey{it->first};
    ++r.openCount;
    return 0;
}

long fakeQuery(PlatformHandle key, const char* name, uint32_t* type, void* data, uint32_t* size) {
    FakeRegistry& r = *FakeRegistry::current;
    const FakeRegistryKey& k = r.keys.at(static_cast<OpenKey*>(key)->path);
    auto v = k.values.find(lower(name));
    if (v == k.values.end()) return kErrorFileNotFound;
    *type = v->second.type;
    uint32_t needed = static_cast<uint32_t>(v->second.data.size() + (v->second.terminated ? 1 : 0));
    if (needed > *size) {
        // Like the real call, the buffer's contents are not to be relied on afterwards.
        if (data != nullptr && *size > 0) std::memset(data, '#', *size);
        *size = needed;
        return kErrorMoreData;
    }
    std::memcpy(data, v->second.data.c_str(), needed);
    *size = needed;
    return 0;
}

long fakeEnum(PlatformHandle key, uint32_t index, char* name, uint32_t* nameSize) {
    FakeRegistry& r = *FakeRegistry::current;
    const FakeRegistryKey& k = r.keys.at(static_cast<OpenKey*>(key)->path);
    if (index >= k.children.size()) return kErrorNoMoreItems;
    const std::string& childName = r.keys.at(static_cast<OpenKey*>(key)->path + "\\" + k.children[index]).name;
    if (childName.size() + 1 > *nameSize) return kErrorMoreData;
    std::memcpy(name, childName.c_str(), childName.size() + 1);
    *nameSize = static_cast<uint32_t>(childName.size());
    return 0;
}

long fakeClose(PlatformHandle key) {
    delete static_cast<OpenKey*>(key);
    --FakeRegistry::current->openCount;
    return 0;
}

}  // namespace

FakeRegistry::FakeRegistry() {
    current = this;
    Platform.regOpenKey = fakeOpen;
    Platform.regQueryValue = fakeQuery;
    Platform.regEnumKey = fakeEnum;
    Platform.regCloseKey = fakeClose;
}

FakeRegistry::~FakeRegistry() {
    const PlatformOps& d = defaultPlatformOps();
    Platform.regOpenKey = d.regOpenKey;
    Platform.regQueryValue = d.regQueryValue;
    Platform.regEnumKey = d.regEnumKey;
    Platform.regCloseKey = d.regCloseKey;
    current = nullptr;
}

void FakeRegistry::addKey(const std::string& path) {
    std::string built;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        std::string parent = built;
        built = built.empty() ? lower(part) : built + "\\" + lower(part);
        if (!keys.count(built)) {
            keys[built].name = part;
            if (!parent.empty()) keys[parent].children.push_back(lower(part));
        }
        start = end + 1;
    }
}

void FakeRegistry::setString(const std::string& path, const std::string& name, const std::string& value,
                             uint32_t type) {
    FakeRegistryValue v;
    v.type = type;
    v.data = value;
    setValue(path, name, v);
}

void FakeRegistry::setValue(const std::string& path, const std::string& name, const FakeRegistryValue& value) {
    addKey(path);
    keys[lower(path)].values[lower(name)] = value;
}
