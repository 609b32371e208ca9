// A fake service control manager, registry writes and event log over the platform table.
// The service runtime runs on real threads and events; the fake wraps them to count threads,
// fail creations on demand, catch use of a closed event, and hold the stop time-out until a
// test lets it pass. Self-contained, so the jvm tier can use it too; fakes may nest.
#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"

struct FakeServiceEntry {
    uint32_t startType;
    std::string binaryPath;
};

struct FakeRegistryValue {
    uint32_t type;
    std::string data;  // raw bytes, terminator included for strings
};

struct FakeLoggedEvent {
    uint16_t type;
    std::string text;
};

class FakeServiceManager {
public:
    // `ownLastError`: keep the last error per thread in the fake (over fakes whose last error
    // is one shared value); the real POSIX errno is per thread already.
    explicit FakeServiceManager(bool ownLastError = true);
    ~FakeServiceManager();
    FakeServiceManager(const FakeServiceManager&) = delete;
    FakeServiceManager& operator=(const FakeServiceManager&) = delete;

    // Knobs, set before the code under test runs: a non-zero error makes the call fail.
    uint32_t openScManagerError = 0, openServiceError = 0, createServiceError = 0, deleteServiceError = 0;
    uint32_t dispatcherError = 0;  // startServiceDispatcher fails (started by hand)
    uint32_t eventSourceError = 0, createEventError = 0;
    std::map<ThreadRoutine, uint32_t> failingThreads;  // routine -> error of its creation
    long createKeyStatus = 0;
    std::map<std::string, long> setValueStatus;  // value name -> status

    // What the service manager, the registry and the event log hold.
    std::map<std::string, FakeServiceEntry> services;
    std::map<std::string, std::vector<std::string>> settings;  // "name=value" changes after creation, in order
    std::map<std::string, std::map<std::string, FakeRegistryValue>> registry;  // key path -> values
    int openHandles() const;  // service manager handles and registry keys not yet closed

    // Records of a service run: read them after the dispatcher returned, or under lock().
    std::unique_lock<std::mutex> lock();
    std::string dispatchedName;
    std::vector<ServiceStatusRecord> statuses;
    std::vector<FakeLoggedEvent> events;
    std::vector<std::string> faults;  // misuse seen: a closed event signalled, a source used after going...
    int eventSourcesDeregistered = 0;
    int eventsClosed = 0;

    // Delivers a control to the handler, on the dispatcher's thread, once the service has
    // reported its first status.
    void sendControl(uint32_t control);
    bool waitForStatuses(size_t count, int timeoutMs = 10000);  // false after the time-out
    bool waitForTimeoutSleeps(int count, int timeoutMs = 10000);
    void releaseTimeouts();  // lets every held time-out sleep, and any later one, end
    bool waitForThreads(int timeoutMs = 10000);  // every thread started through the fake
    std::vector<std::string> eventTexts();

    struct Internals;
    Internals* internals;

private:
    PlatformOps saved_;
};
