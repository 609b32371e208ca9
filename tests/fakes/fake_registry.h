// A fake registry tree under HKEY_LOCAL_MACHINE for the runtime search tests. Installing
// it replaces the table's registry reads; FakePlatform restores them when it goes.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

struct FakeRegistryValue {
    uint32_t type = kRegSz;
    std::string data;         // without the terminator
    bool terminated = true;   // stored with its terminating zero, as installers write it
};

struct FakeRegistryKey {
    std::string name;                                  // as written, for enumeration
    std::vector<std::string> children;                 // lower-case names in enumeration order
    std::map<std::string, FakeRegistryValue> values;   // lower-case value name
};

class FakeRegistry {
public:
    FakeRegistry();   // installs itself into Platform; needs a FakePlatform alive
    ~FakeRegistry();
    FakeRegistry(const FakeRegistry&) = delete;
    FakeRegistry& operator=(const FakeRegistry&) = delete;

    // Creates the key and its parents; children enumerate in the order they were added.
    void addKey(const std::string& path);
    void setString(const std::string& path, const std::string& name, const std::string& value,
                   uint32_t type = kRegSz);
    void setValue(const std::string& path, const std::string& name, const FakeRegistryValue& value);

    // Every key path opened, in order, and the keys still open.
    std::vector<std::string> opened;
    int openCount = 0;

    static FakeRegistry* current;
    std::map<std::string, FakeRegistryKey> keys;  // lower-case full path
};
