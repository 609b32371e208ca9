// Fake service control manager, registry writes and event log over the platform table,
// with counting wrappers around the real threads and events.
#include "fakes/fake_service.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "core/report.h"

namespace {

FakeServiceManager* current;
thread_local uint32_t threadLastError;  // per thread, as the system keeps it
using Guard = std::lock_guard<std::mutex>;

FakeServiceManager& f() { return *current; }
uint32_t failure(const std::string& call) { return f().failing.count(call) ? f().failing[call] : 0; }
PlatformHandle failWith(uint32_t error) {
    threadLastError = error;
    return nullptr;
}
PlatformHandle newHandle() { return reinterpret_cast<PlatformHandle>(++f().lastHandle); }
PlatformHandle openHandle(const std::string& name) {
    PlatformHandle h = newHandle();
    f().open[h] = name;
    return h;
}
const std::string* openName(PlatformHandle h) { return f().open.count(h) ? &f().open[h] : nullptr; }
bool closeOpen(PlatformHandle h, const char* misuse) {
    if (f().open.erase(h)) return true;
    f().faults.push_back(misuse);
    return false;
}

bool recordSetting(PlatformHandle service, const std::string& setting) {
    const std::string* name = openName(service);
    if (name) f().services[*name].settings.push_back(setting);
    return name || failWith(kErrorInvalidHandle);
}

PlatformHandle fakeCreateService(PlatformHandle manager, const char* name, const char*, uint32_t, uint32_t,
                                 uint32_t startType, uint32_t, const char* binaryPath) {
    if (!openName(manager)) return failWith(kErrorInvalidHandle);
    if (failure("createService")) return failWith(failure("createService"));
    if (f().services.count(name)) return failWith(kErrorServiceExists);
    f().services[name] = FakeService{startType, binaryPath, {}};
    f().registry[std::string("SYSTEM\\CurrentControlSet\\Services\\") + name];
    return openHandle(name);
}

long fakeRegSetValue(PlatformHandle key, const char* name, uint32_t type, const void* data, uint32_t size) {
    const std::string* path = openName(key);
    if (!path || failure(name)) return path ? failure(name) : kErrorInvalidHandle;
    f().registry[*path][name] = {type, std::string(static_cast<const char*>(data), size)};
    return 0;
}

bool fakeReportEvent(PlatformHandle source, uint16_t type, uint32_t, const char* text) {
    Guard g(f().m);
    if (!f().sources.count(source)) {
        f().faults.push_back(std::string("report through an unregistered source: ") + text);
        return false;
    }
    f().events.push_back((type == kEventTypeError ? "error: " : "") + std::string(text));
    return true;
}

// The runtime starts its threads without a parameter: the routine itself travels in its place.
uint32_t countedThread(void* routine) {
    uint32_t rc = reinterpret_cast<ThreadRoutine>(routine)(nullptr);
    --f().liveThreads;
    return rc;
}

bool liveEvent(PlatformHandle event, const char* misuse) {
    Guard g(f().m);
    bool open = f().eventsOpen.count(event) && f().eventsOpen[event];
    if (!open) f().faults.push_back(misuse);
    return open;
}

}  // namespace

FakeServiceManager::FakeServiceManager() : previous(Platform) {
    current = this;
    threadLastError = 0;
    Platform.getLastError = [] { return threadLastError; };
    Platform.setLastError = [](uint32_t code) { threadLastError = code; };
    Platform.openScManager = [](uint32_t) {
        return failure("openScManager") ? failWith(failure("openScManager")) : openHandle("");
    };
    Platform.openService = [](PlatformHandle manager, const char* name, uint32_t) {
        if (!openName(manager) || failure("openService")) return failWith(openName(manager) ? failure("openService") : kErrorInvalidHandle);
        return f().services.count(name) ? openHandle(name) : failWith(kErrorServiceDoesNotExist);
    };
    Platform.createService = fakeCreateService;
    Platform.deleteService = [](PlatformHandle service) {
        const std::string* name = openName(service);
        if (!name || failure("deleteService")) return failWith(name ? failure("deleteService") : kErrorInvalidHandle) != nullptr;
        return f().services.erase(*name) == 1;
    };
    Platform.changeServiceConfig = [](PlatformHandle service, const char* dependencies, const char* account) {
        std::string list;
        for (const char* p = dependencies; p && *p; p += strlen(p) + 1) list += std::string(p) + "|";
        return recordSetting(service, "dependencies=" + list + " account=" + (account ? account : "<null>"));
    };
    Platform.setServiceFailureActions = [](PlatformHandle service, uint32_t reset, uint32_t delay, uint32_t count) {
        return recordSetting(service, "restart=" + std::to_string(reset) + "," + std::to_string(delay) + "," +
                                          std::to_string(count));
    };
    Platform.setServiceDelayedStart = [](PlatformHandle service, bool delayed) {
        return recordSetting(service, std::string("delayed=") + (delayed ? "1" : "0"));
    };
    Platform.closeServiceHandle = [](PlatformHandle h) {
        threadLastError = 0;  // a real close may leave a fresh last error
        return closeOpen(h, "closeServiceHandle on a handle that is not open");
    };
    Platform.startServiceDispatcher = [](const char* serviceName, ServiceMainRoutine routine) {
        if (failure("dispatcher")) return failWith(failure("dispatcher")) != nullptr;
        char* argv[] = {const_cast<char*>(serviceName), nullptr};
        routine(1, argv);
        return true;
    };
    Platform.registerServiceCtrlHandler = [](const char*, ServiceHandlerRoutine) {
        return f().statusHandle = newHandle();
    };
    Platform.setServiceStatus = [](PlatformHandle handle, const ServiceStatusRecord* status) {
        std::unique_lock<std::mutex> lock(f().m);
        if (!handle || handle != f().statusHandle) f().faults.push_back("status on a wrong handle");
        f().statuses.push_back(*status);
        bool first = f().statuses.size() == 1;
        lock.unlock();
        // A control sent on the first status may reach the handler before the service is back from this call.
        if (first) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return true;
    };
    Platform.regCreateKey = [](RegistryRoot, const char* path, uint32_t, PlatformHandle* key) {
        *key = failure("regCreateKey") ? nullptr : openHandle(path);
        if (*key) f().registry[path];
        return *key ? 0L : long{failure("regCreateKey")};
    };
    Platform.regOpenKey = [](RegistryRoot, const char* path, uint32_t, PlatformHandle* key) {
        *key = f().registry.count(path) ? openHandle(path) : nullptr;
        return *key ? 0L : long{kErrorFileNotFound};
    };
    Platform.regSetValue = fakeRegSetValue;
    Platform.regCloseKey = [](PlatformHandle key) {
        return closeOpen(key, "regCloseKey on a key that is not open") ? 0L : long{kErrorInvalidHandle};
    };
    Platform.registerEventSource = [](const char*) {
        Guard g(f().m);
        if (failure("registerEventSource")) return failWith(failure("registerEventSource"));
        return *f().sources.insert(newHandle()).first;
    };
    Platform.reportEvent = fakeReportEvent;
    Platform.deregisterEventSource = [](PlatformHandle source) {
        Guard g(f().m);
        if (f().sources.erase(source)) return true;
        f().faults.push_back("deregistering a source that is not registered");
        return false;
    };
    Platform.createThread = [](ThreadRoutine routine, void*) {
        if (f().failingThreads.count(routine)) return failWith(f().failingThreads[routine]);
        ++f().liveThreads;
        return f().previous.createThread(countedThread, reinterpret_cast<void*>(routine));
    };
    Platform.createEvent = [] {
        if (failure("createEvent")) return failWith(failure("createEvent"));
        PlatformHandle h = f().previous.createEvent();
        Guard g(f().m);
        f().eventsOpen[h] = true;
        return h;
    };
    Platform.setEvent = [](PlatformHandle e) { return liveEvent(e, "setEvent on a closed event") && f().previous.setEvent(e); };
    Platform.waitForEvent = [](PlatformHandle e) {
        if (liveEvent(e, "waiting on a closed event")) f().previous.waitForEvent(e);
    };
    Platform.closeHandle = [](PlatformHandle h) {
        Guard g(f().m);
        if (!f().eventsOpen.count(h)) return f().previous.closeHandle(h);
        if (!f().eventsOpen[h]) f().faults.push_back("closing an event twice");
        f().eventsOpen[h] = false;  // kept until the fake goes, so a misuse is seen rather than undefined
        return true;
    };
    Platform.sleepMs = [](uint32_t milliseconds) {
        // The stop time-out, whatever its length, passes when the test says so.
        if (milliseconds >= 1000) ++f().timeoutWaits;
        while (milliseconds >= 1000 && !f().timeoutsReleased) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (milliseconds && milliseconds < 1000) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
}

FakeServiceManager::~FakeServiceManager() {
    timeoutsReleased = true;
    waitUntil([this] { return liveThreads == 0; });
    for (auto& event : eventsOpen) previous.closeHandle(event.first);
    Platform = previous;
    current = nullptr;
}

std::vector<uint32_t> FakeServiceManager::states() {
    Guard g(m);
    std::vector<uint32_t> v;
    for (const ServiceStatusRecord& r : statuses) v.push_back(r.dwCurrentState);
    return v;
}

bool FakeServiceManager::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
