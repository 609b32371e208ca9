// Keys are case-insensitive, values carry their type and whether they were stored with a
// terminator, and queries follow the Win32 size contract.
#include "fakes/fake_registry.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <vector>

namespace {

struct Key {
    std::string name;                                  // as written, for enumeration
    std::vector<std::string> children;                 // lower-case full paths in enumeration order
    std::map<std::string, FakeRegistryValue> values;   // lower-case value name
};
std::map<std::string, Key> keys;  // lower-case full path
FakeRegistry* current;

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const Key& keyOf(PlatformHandle key) { return keys.at(*static_cast<std::string*>(key)); }

long fakeOpen(RegistryRoot, const char* path, uint32_t, PlatformHandle* key) {
    auto it = keys.find(lower(path));
    *key = it == keys.end() ? nullptr : new std::string(it->first);
    if (*key == nullptr) return kErrorFileNotFound;
    ++current->openCount;
    return 0;
}

long fakeQuery(PlatformHandle key, const char* name, uint32_t* type, void* data, uint32_t* size) {
    auto v = keyOf(key).values.find(lower(name));
    if (v == keyOf(key).values.end()) return kErrorFileNotFound;
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
    const Key& k = keyOf(key);
    if (index >= k.children.size()) return kErrorNoMoreItems;
    const std::string& childName = keys.at(k.children[index]).name;
    if (childName.size() + 1 > *nameSize) return kErrorMoreData;
    std::memcpy(name, childName.c_str(), childName.size() + 1);
    *nameSize = static_cast<uint32_t>(childName.size());
    return 0;
}

long fakeClose(PlatformHandle key) {
    delete static_cast<std::string*>(key);
    --current->openCount;
    return 0;
}

}  // namespace

FakeRegistry::FakeRegistry() {
    current = this;
    keys.clear();
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

void FakeRegistry::setString(const std::string& path, const std::string& name, const std::string& value,
                             uint32_t type) {
    FakeRegistryValue v;
    v.type = type;
    v.data = value;
    setValue(path, name, v);
}

void FakeRegistry::setValue(const std::string& path, const std::string& name, const FakeRegistryValue& value) {
    std::string built;  // the key and its parents
    for (size_t start = 0, end; start <= path.size(); start = end + 1) {
        end = std::min(path.find('\\', start), path.size());
        std::string part = path.substr(start, end - start), parent = built;
        built = built.empty() ? lower(part) : built + "\\" + lower(part);
        if (keys.count(built)) continue;
        keys[built].name = part;
        if (!parent.empty()) keys[parent].children.push_back(built);
    }
    keys[lower(path)].values[lower(name)] = value;
}
