// A fake HKEY_LOCAL_MACHINE for the runtime search tests. Installing it replaces the table's
// registry reads; FakePlatform restores them when it goes.
#pragma once
#include <cstdint>
#include <string>

#include "platform/platform.h"

struct FakeRegistryValue {
    uint32_t type = kRegSz;
    std::string data;         // without the terminator
    bool terminated = true;   // stored with its terminating zero, as installers write it
};

class FakeRegistry {
public:
    FakeRegistry();   // installs itself into Platform; needs a FakePlatform alive
    ~FakeRegistry();
    FakeRegistry(const FakeRegistry&) = delete;
    FakeRegistry& operator=(const FakeRegistry&) = delete;

    // Creates the key and its parents; children enumerate in the order they were added.
    void setString(const std::string& path, const std::string& name, const std::string& value,
                   uint32_t type = kRegSz);
    void setValue(const std::string& path, const std::string& name, const FakeRegistryValue& value);

    int openCount = 0;  // keys still open
};
