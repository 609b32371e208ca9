// The fake service manager: handles are numbers with a name, misuse is recorded as it happens.
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
constexpr SystemError kBadHandle{ErrorKind::Other, 6}, kNoService{ErrorKind::ServiceMissing, 1060},
    kBadAccount{ErrorKind::InvalidAccount, 1057}, kNoKey{ErrorKind::NotFound, 2};
using Guard = std::lock_guard<std::mutex>;
FakeServiceManager& f() { return *current; }
SystemError failure(const std::string& call) { return f().failing.count(call) ? f().failing[call] : kNoError; }
PlatformHandle failWith(SystemError error) {
    threadLastError = error;
    return nullptr;
}
PlatformHandle newHandle() { return reinterpret_cast<PlatformHandle>(++f().lastHandle); }
PlatformHandle openHandle(const std::string& name) { return f().open.emplace(newHandle(), name).first->first; }
const std::string* openName(PlatformHandle h) { return f().open.count(h) ? &f().open[h] : nullptr; }
bool closeOpen(PlatformHandle h, const char* misuse) {
    if (f().open.erase(h)) return true;
    f().faults.push_back(misuse);
    return false;
}
bool recordSetting(PlatformHandle service, const std::string& setting) {
    const std::string* name = openName(service);
    if (name) f().services[*name].push_back(setting);
    return name || failWith(kBadHandle);
}
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
    Platform.services.openManager = [](uint32_t) { return failure("openScManager").failed() ? failWith(failure("openScManager")) : openHandle(""); };
    Platform.services.open = [](PlatformHandle manager, const char* name, uint32_t) {
        if (!openName(manager) || failure("openService").failed()) return failWith(openName(manager) ? failure("openService") : kBadHandle);
        return f().services.count(name) ? openHandle(name) : failWith(kNoService);
    };
    Platform.services.create = [](PlatformHandle manager, const char* name, const char*, uint32_t, uint32_t, uint32_t, uint32_t,
                                const char*) {
        if (!openName(manager)) return failWith(kBadHandle);
        if (failure("createService").failed()) return failWith(failure("createService"));
        f().services[name];
        f().registry[std::string("SYSTEM\\CurrentControlSet\\Services\\") + name];
        return openHandle(name);
    };
    Platform.services.remove = [](PlatformHandle service) {
        const std::string* name = openName(service);
        if (!name || failure("deleteService").failed()) return failWith(name ? failure("deleteService") : kBadHandle) != nullptr;
        // Only marked while it runs or another handle is open: it stays.
        return f().heldOpen || f().serviceStates[*name] > kServiceStopped || f().services.erase(*name) == 1;
    };
    Platform.services.queryStatus = [](PlatformHandle service, ServiceStatusRecord* status) {
        const std::string* name = openName(service);
        if (!name || failure("queryServiceStatus").failed()) return failWith(name ? failure("queryServiceStatus") : kBadHandle) != nullptr;
        uint32_t& state = f().serviceStates[*name];
        *status = ServiceStatusRecord{kServiceWin32OwnProcess, state ? state : kServiceStopped, 0, 0, 0, 0, 0};
        if (state == kServiceStopPending && !f().ignoresStop) state = kServiceStopped;
        return true;
    };
    Platform.services.control = [](PlatformHandle service, uint32_t) {
        const std::string* name = openName(service);
        if (!name) return failWith(kBadHandle) != nullptr;
        if (!failure("controlService").failed() || f().stopAnswerLost) f().serviceStates[*name] = kServiceStopPending;
        return !failure("controlService").failed() || failWith(failure("controlService")) != nullptr;
    };
    Platform.services.changeConfig = [](PlatformHandle service, const char* dependencies, const char* account) {
        std::string list;
        for (const char* p = dependencies; p && *p; p += strlen(p) + 1) list += std::string(p) + "|";
        return recordSetting(service, "dependencies=" + list + " account=" + (account ? account : "<null>"));
    };
    Platform.services.setFailureActions = [](PlatformHandle service, uint32_t reset, uint32_t delay, uint32_t count) {
        return recordSetting(service, "restart=" + std::to_string(reset) + "," + std::to_string(delay) + "," + std::to_string(count));
    };
    Platform.services.setDelayedStart = [](PlatformHandle service, bool delayed) {
        return recordSetting(service, std::string("delayed=") + (delayed ? "1" : "0"));
    };
    Platform.services.configure = [](PlatformHandle service, const ServiceSettings* s) {
        if (failure("configure").failed()) return failWith(failure("configure")) != nullptr;
        return recordSetting(service, "description=" + std::string(s->description) + (s->account ? " user=" + std::string(s->account) : ""));
    };
    Platform.traits.systemdServices = false;  // the Windows manager unless a test says otherwise
    Platform.services.findAccount = [](const char* account) {
        return std::string(account) == "svc:staff" || failWith(kBadAccount) != nullptr;
    };
    Platform.services.close = [](PlatformHandle h) {
        threadLastError = kNoError;  // a real close may leave a fresh last error
        return closeOpen(h, "closeServiceHandle on a handle that is not open");
    };
    Platform.services.startDispatcher = [](const char* serviceName, ServiceMainRoutine routine) {
        if (failure("dispatcher").failed()) return failWith(failure("dispatcher")) != nullptr;
        char* argv[] = {const_cast<char*>(serviceName), nullptr};
        routine(1, argv);
        return true;
    };
    Platform.services.registerHandler = [](const char*, ServiceHandlerRoutine) { return f().statusHandle = newHandle(); };
    Platform.services.setStatus = [](PlatformHandle handle, const ServiceStatusRecord* status) {
        std::unique_lock<std::mutex> lock(f().statusLock);
        if (!handle || handle != f().statusHandle) f().faults.push_back("status on a wrong handle");
        f().statuses.push_back(*status);
        bool first = f().statuses.size() == 1;
        lock.unlock();
        // A control sent on the first status may reach the handler before the service is back from this call.
        if (first) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return true;
    };
    Platform.registry.createKey = [](RegistryRoot, const char* path, uint32_t, PlatformHandle* key) {
        *key = failure("regCreateKey").failed() ? nullptr : openHandle(path);
        if (*key) f().registry[path];
        return *key ? kNoError : failure("regCreateKey");
    };
    Platform.registry.openKey = [](RegistryRoot, const char* path, uint32_t, PlatformHandle* key) {
        *key = f().registry.count(path) && !failure("regOpenKey").failed() ? openHandle(path) : nullptr;
        return *key ? kNoError : failure("regOpenKey").failed() ? failure("regOpenKey") : kNoKey;
    };
    Platform.registry.setValue = [](PlatformHandle key, const char* name, uint32_t, const void*, uint32_t) {
        const std::string* path = openName(key);
        if (!path || failure(name).failed()) return path ? failure(name) : kBadHandle;
        f().registry[*path].insert(name);
        return kNoError;
    };
    Platform.registry.closeKey = [](PlatformHandle key) {
        return closeOpen(key, "regCloseKey on a key that is not open") ? kNoError : kBadHandle;
    };
    Platform.eventLog.registerSource = [](const char*) {
        Guard g(f().m);
        if (failure("registerEventSource").failed()) return failWith(failure("registerEventSource"));
        return *f().sources.insert(newHandle()).first;
    };
    Platform.eventLog.report = [](PlatformHandle source, uint16_t type, uint32_t, const char* text) {
        Guard g(f().m);
        if (f().sources.count(source)) f().events.push_back((type == kEventTypeError ? "error: " : "") + std::string(text));
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
        if (f().failingThreads.count(routine)) return failWith(f().failingThreads[routine]) != nullptr;
        ++f().liveThreads;
        return f().previous.threads.create(countedThread, reinterpret_cast<void*>(routine));
    };
    Platform.threads.createEvent = [] {
        if (failure("createEvent").failed()) return static_cast<PlatformEvent>(failWith(failure("createEvent")));
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
    EXPECT_TRUE(open.empty());
    EXPECT_EQ(faults, std::vector<std::string>{});
    for (auto& event : eventsOpen) previous.threads.closeEvent(event.first);
    Platform = previous;
    current = nullptr;
}
