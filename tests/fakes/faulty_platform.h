// Fault injection over the platform table as a test has set it up, fakes included: the calls
// through the slots that can fail are counted across all slots, and the Nth of them fails as
// the system would fail it, with the last error set.
#pragma once
#include <cstdint>

#include "platform/platform.h"

class FaultyPlatform {
public:
    // failAt 0 fails nothing and only counts. One at a time; the table comes back on destruction.
    explicit FaultyPlatform(uint64_t failAt);
    ~FaultyPlatform();
    FaultyPlatform(const FaultyPlatform&) = delete;
    FaultyPlatform& operator=(const FaultyPlatform&) = delete;
    static uint64_t calls();
    static const char* failedSlot();  // "group.slot", or "" while nothing has failed

private:
    PlatformOps saved_;
};
