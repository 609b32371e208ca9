// The fake service manager: services by name, misuse recorded as it happens.
#include "fakes/fake_service_manager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "fakes/fake_platform.h"
#include "core/report.h"

bool waitFor(const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

namespace {

FakeServiceManager* current;
thread_local SystemError threadLastError;  // per thread, as the system keeps it
// Errors as the Win32 backend gives them.
constexpr SystemError kNoService{ErrorKind::ServiceMissing, 1060}, kBadAccount{ErrorKind::InvalidAccount, 1057};
using Guard = std::lock_guard<std::mutex>;
FakeServiceManager& f() { return *current; }
SystemError failure(const std::string& call) { return f().failing.count(call) ? f().failing[call] : kNoError; }
bool failWith(SystemError error) {
    threadLastError = error;
    return false;
}
// The manager and the service as the Win32 backend opens them, the service's own call `call` last.
bool reach(const char* name, const char* call = "") {
    for (const char* step : {"openScManager", "openService"})
        if (failure(step).failed()) return failWith(failure(step));
    if (!f().services.count(name)) return failWith(kNoService);
    return !failure(call).failed() || failWith(failure(call));
}
PlatformHandle newHandle() { return reinterpret_cast<PlatformHandle>(++f().lastHandle); }
// The runtime starts its threads without a parameter: the routine itself travels in its place.
uint32_t countedThread(void* routine) {
    uint32_t rc = reinterpret_cast<ThreadRoutine>(routine)(nullptr);
    --f().liveThreads;
    return rc;
}
bool liveEvent(PlatformEvent event, const char* misuse) {
    Guard g(f().m);
    bool open = f().eventsOpen.count(event) && f().eventsOpen[event];
    if (!open) f().faults.push_back(misuse);
    return open;
}

}  // namespace

FakeServiceManager::FakeServiceManager() {
    current = this;
    threadLastError = kNoError;
    Platform.errors.last = [] { return threadLastError; };
    Platform.errors.set = [](SystemError e) { threadLastError = e; };
    useSystemd(false);
    Platform.services.find = [](const char* name) { return reach(name); };
    Platform.services.checkAccount = [](const char* account, const char* serviceName) {
        std::string windowsName;
        bool known = f().systemd ? !*account || std::string(account) == "svc:staff" : win32ServiceAccountName(account, serviceName, &windowsName);
        return known || failWith(kBadAccount);
    };
    Platform.services.create = [](const ServiceDefinition* d) {
        for (const char* step : {"openScManager", "createService"})
            if (failure(step).failed()) return failWith(failure(step));
        f().services[d->name];
        f().registry[std::string("SYSTEM\\CurrentControlSet\\Services\\") + d->name];
        return true;
    };
    // What each backend keeps beside the service, recorded as "name=value" changes.
    Platform.services.configure = [](const ServiceDefinition* d) {
        if (!reach(d->name, "configure")) return false;
        std::vector<std::string>& changes = f().services[d->name];
        if (f().systemd) return changes.push_back("description=" + std::string(d->description) + " user=" + d->account), true;
        changes.push_back("description=" + std::string(d->description));
        std::string list, account;
        for (const char* p = d->dependencies; *p; p += strlen(p) + 1) list += std::string(p) + "|";
        win32ServiceAccountName(d->account, d->name, &account);
        if (!list.empty() || !account.empty()) changes.push_back("dependencies=" + list + " account=" + (account.empty() ? "<null>" : account));
        if (d->delayedStart) changes.push_back("delayed=1");
        if (d->restartDelaySeconds && d->restartCount)
            changes.push_back("restart=" + std::to_string(d->restartResetSeconds) + "," + std::to_string(d->restartDelaySeconds * 1000) + "," +
                              std::to_string(d->restartCount));
        return true;
    };
    Platform.services.remove = [](const char* name) {
        if (!reach(name, "deleteService")) return false;
        // Only marked while it runs or another handle is open: it stays.
        return f().heldOpen || f().serviceStates[name] != ServiceState::Stopped || f().services.erase(name) == 1;
    };
    Platform.services.state = [](const char* name, ServiceState* state) {
        if (!reach(name, "queryServiceStatus")) return false;
        ServiceState& now = f().serviceStates[name];
        *state = now;
        if (now == ServiceState::StopPending && !f().ignoresStop) now = ServiceState::Stopped;
        return true;
    };
    Platform.services.stop = [](const char* name) {
        if (!reach(name)) return false;
        if (!failure("controlService").failed() || f().stopAnswerLost) f().serviceStates[name] = ServiceState::StopPending;
        return !failure("controlService").failed() || failWith(failure("controlService"));
    };
    Platform.services.exitCode = [](SystemError e) {
        return f().systemd ? defaultPlatformOps().services.exitCode(e) : e.code ? static_cast<int>(e.code) : 1;
    };
    Platform.services.run = [](const char*, ServiceMainRoutine routine) {
        if (failure("dispatcher").failed()) return failWith(failure("dispatcher"));
        routine();
        return true;
    };
    Platform.services.registerHandler = [](const char*, ServiceHandlerRoutine) { return f().handlerRegistered = true; };
    Platform.services.setStatus = [](const ServiceStatus* status) {
        std::unique_lock<std::mutex> lock(f().statusLock);
        if (!f().handlerRegistered) f().faults.push_back("a status before the handler");
        f().statuses.push_back(*status);
        Win32ServiceStatus record = f().records.empty() ? Win32ServiceStatus{} : f().records.back();
        win32UpdateServiceStatus(*status, &record);
        f().records.push_back(record);
        bool first = f().statuses.size() == 1;
        lock.unlock();
        // A control sent on the first status may reach the handler before the service is back from this call.
        if (first) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return true;
    };
    Platform.eventLog.addSource = [](const char* name, const char*) {
        std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\") + name;
        if (failure("regCreateKey").failed()) return failWith(failure("regCreateKey"));
        f().registry[key];
        for (const char* value : {"regOpenKey", "EventMessageFile", "TypesSupported"}) {
            if (failure(value).failed()) return failWith(failure(value));
            if (value[0] != 'r') f().registry[key].insert(value);
        }
        return true;
    };
    Platform.eventLog.registerSource = [](const char*) -> PlatformHandle {
        Guard g(f().m);
        if (failure("registerEventSource").failed()) return failWith(failure("registerEventSource")), nullptr;
        return *f().sources.insert(newHandle()).first;
    };
    Platform.eventLog.report = [](PlatformHandle source, bool error, const char* text) {
        Guard g(f().m);
        if (f().sources.count(source)) f().events.push_back((error ? "error: " : "") + std::string(text));
        else f().faults.push_back(std::string("report through an unregistered source: ") + text);
        return f().sources.count(source) == 1;
    };
    Platform.eventLog.deregisterSource = [](PlatformHandle source) {
        Guard g(f().m);
        if (f().sources.erase(source)) return true;
        f().faults.push_back("deregistering a source that is not registered");
        return false;
    };
    Platform.threads.create = [](ThreadRoutine routine, void*) {
        if (f().failingThreads.count(routine)) return failWith(f().failingThreads[routine]);
        ++f().liveThreads;
        return f().previous.threads.create(countedThread, reinterpret_cast<void*>(routine));
    };
    Platform.threads.createEvent = []() -> PlatformEvent {
        if (failure("createEvent").failed()) return failWith(failure("createEvent")), nullptr;
        PlatformEvent h = f().previous.threads.createEvent();
        Guard g(f().m);
        f().eventsOpen[h] = true;
        return h;
    };
    Platform.threads.setEvent = [](PlatformEvent e) { return liveEvent(e, "setEvent on a closed event") && f().previous.threads.setEvent(e); };
    Platform.threads.waitForEvent = [](PlatformEvent e) { if (liveEvent(e, "waiting on a closed event")) f().previous.threads.waitForEvent(e); };
    Platform.threads.closeEvent = [](PlatformEvent h) {
        Guard g(f().m);
        if (!f().eventsOpen.count(h)) return f().previous.threads.closeEvent(h);
        if (!f().eventsOpen[h]) f().faults.push_back("closing an event twice");
        f().eventsOpen[h] = false;  // kept until the fake goes, so a misuse is seen rather than undefined
        return true;
    };
    Platform.threads.sleepMs = [](uint32_t milliseconds) {
        // The stop time-out, whatever its length, passes when the test says so.
        if (milliseconds >= 1000) ++f().timeoutWaits;
        while (milliseconds >= 1000 && !f().timeoutsReleased) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (milliseconds && milliseconds < 1000) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
}

FakeServiceManager::~FakeServiceManager() {
    timeoutsReleased = true;
    EXPECT_TRUE(waitFor([this] { return liveThreads == 0; }));
    EXPECT_EQ(faults, std::vector<std::string>{});
    for (auto& event : eventsOpen) previous.threads.closeEvent(event.first);
    Platform = previous;
    current = nullptr;
}
