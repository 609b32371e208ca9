// A fake service manager, registry and event log over real threads and events, for the
// service tests and the fault sweep.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

// A fake service manager, registry and event log; its dispatcher runs the service's main routine on the
// calling thread, controls come from the test's threads. Over real threads and events it counts the threads,
// holds the stop time-out until released, and records misuse of handles, sources and events, checked as it goes.
struct FakeServiceManager {
    FakeServiceManager();
    ~FakeServiceManager();
    std::vector<uint32_t> states() {
        std::lock_guard<std::mutex> g(statusLock);
        std::vector<uint32_t> v;
        for (const ServiceStatusRecord& r : statuses) v.push_back(r.dwCurrentState);
        return v;
    }
    std::map<std::string, SystemError> failing;  // calls that fail by name; a value name fails regSetValue
    std::map<ThreadRoutine, SystemError> failingThreads;
    std::map<std::string, std::vector<std::string>> services;  // name -> "name=value" changes after creation
    std::map<std::string, std::set<std::string>> registry;      // key path -> names of the values written
    std::map<std::string, uint32_t> serviceStates;  // a service's state (none: stopped); a stop takes one look to end
    bool ignoresStop = false, heldOpen = false;  // another program's handle keeps a deleted service
    bool stopAnswerLost = false;  // a failing stop control is taken all the same
    // Shared with the service's threads: read under `m` while any may run.
    std::mutex m, statusLock;  // statuses apart: one lock with the event log would order the threads and hide races from TSan
    std::vector<ServiceStatusRecord> statuses;
    std::vector<std::string> events;  // the event log, "error: " marking an error
    std::vector<std::string> faults;
    std::map<PlatformHandle, std::string> open;  // manager, service and key handles -> name or key path
    std::set<PlatformHandle> sources;
    std::map<PlatformEvent, bool> eventsOpen;  // every event made, closed ones false
    std::atomic<int> timeoutWaits{0}, liveThreads{0};
    std::atomic<bool> timeoutsReleased{false};  // lets every held stop time-out end
    PlatformOps previous = Platform;
    PlatformHandle statusHandle = nullptr;
    uintptr_t lastHandle = 0x1000;
};

// False when ten seconds pass first.
bool waitFor(const std::function<bool()>& done);
