// A fake service control manager, registry writes and event log over the platform table, for
// what wine's manager cannot show: failing calls, settings wine refuses, and every way a service
// run ends, timed exactly. The dispatcher runs the service's main routine on the calling thread;
// tests call the control handler from a thread of their own, as the manager does. Threads and
// events are the real ones underneath: the fake counts the threads, holds the stop time-out until
// the test releases it, and records misuse of handles, sources and closed events in `faults`.
#pragma once
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

struct FakeService {
    uint32_t startType;
    std::string binaryPath;
    std::vector<std::string> settings;  // "name=value" changes after creation, in order
};

struct FakeServiceManager {
    FakeServiceManager();
    ~FakeServiceManager();

    // Calls that fail with an error: "openScManager", "openService", "createService",
    // "deleteService", "dispatcher", "registerEventSource", "createEvent", "regCreateKey", or a
    // value name (regSetValue returns it as its status); and thread routines that cannot start.
    std::map<std::string, uint32_t> failing;
    std::map<ThreadRoutine, uint32_t> failingThreads;

    std::map<std::string, FakeService> services;
    std::map<std::string, std::map<std::string, std::pair<uint32_t, std::string>>> registry;  // key -> name -> type, bytes

    // Shared with the service's threads: read under `m` while any may run.
    std::mutex m;
    std::vector<ServiceStatusRecord> statuses;
    std::vector<std::string> events;  // the event log, "error: " marking an error
    std::vector<std::string> faults;
    std::map<PlatformHandle, std::string> open;  // manager, service and key handles -> name or key path
    std::set<PlatformHandle> sources;
    std::map<PlatformHandle, bool> eventsOpen;  // every event made, closed ones false
    std::atomic<int> timeoutWaits{0}, liveThreads{0};
    std::atomic<bool> timeoutsReleased{false};  // lets every held stop time-out end

    std::vector<uint32_t> states();
    static bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000);  // false when time ran out

    PlatformOps previous;
    PlatformHandle statusHandle = nullptr;
    uintptr_t lastHandle = 0x1000;
};
