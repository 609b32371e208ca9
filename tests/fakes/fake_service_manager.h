// A fake service manager, registry and event log for the service tests and the fault sweep; its
// dispatcher runs the service's main routine on the calling thread, controls come from the test's
// threads. Over real threads and events it counts the threads, holds the stop time-out until released,
// and records misuse of sources, events and statuses, checked as it goes. It acts as the Win32 backend
// does unless `systemd` is set, then as the POSIX one.
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
#include "platform/win32/backend.h"

struct FakeServiceManager {
    FakeServiceManager();
    ~FakeServiceManager();
    std::vector<ServiceState> states() {
        std::lock_guard<std::mutex> g(statusLock);
        std::vector<ServiceState> v;
        for (const ServiceStatus& r : statuses) v.push_back(r.state);
        return v;
    }
    // Calls that fail by the Win32 call's name (openScManager fails every one by service name); a value name
    // fails writing that value of the event source.
    std::map<std::string, SystemError> failing;
    std::map<ThreadRoutine, SystemError> failingThreads;
    std::map<std::string, std::vector<std::string>> services;  // name -> "name=value" changes after creation
    std::map<std::string, std::set<std::string>> registry;      // key path -> names of the values written
    std::map<std::string, ServiceState> serviceStates;  // a service's state; a stop takes one look to end
    bool ignoresStop = false, heldOpen = false;  // another program's handle keeps a deleted service
    bool stopAnswerLost = false;  // a failing stop control is taken all the same
    bool systemd = false;
    void useSystemd(bool on) {  // the POSIX backend's accounts, settings and exit codes
        systemd = on;
        Platform.traits.serviceSettings = on ? 0 : kServiceSettingDelayedStart | kServiceSettingDependencies;
    }
    // Shared with the service's threads: read under `m` while any may run.
    std::mutex m, statusLock;  // statuses apart: one lock with the event log would order the threads and hide races from TSan
    std::vector<ServiceStatus> statuses;
    std::vector<Win32ServiceStatus> records;  // each status as the Win32 backend sends it
    std::vector<std::string> events;  // the event log, "error: " marking an error
    std::vector<std::string> faults;
    std::set<PlatformHandle> sources;
    std::map<PlatformEvent, bool> eventsOpen;  // every event made, closed ones false
    std::atomic<int> timeoutWaits{0}, liveThreads{0};
    std::atomic<bool> timeoutsReleased{false};  // lets every held stop time-out end
    PlatformOps previous = Platform;
    bool handlerRegistered = false;
    uintptr_t lastHandle = 0x1000;
};

// False when ten seconds pass first.
bool waitFor(const std::function<bool()>& done);
