// Fake service control manager, registry writes and event log over the platform table,
// with counting wrappers around the real threads and events.
#include "fakes/fake_service.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <set>
#include <thread>

namespace {

FakeServiceManager* current;
thread_local uint32_t threadLastError;
using Guard = std::lock_guard<std::mutex>;

struct FakeHandle {
    std::string name;
};

}  // namespace

struct FakeServiceManager::Internals {
    PlatformOps previous;
    FakeServiceManager* outer;  // the fake this one is nested in, if any
    std::mutex m;
    std::condition_variable cv;
    std::deque<uint32_t> controls;
    ServiceHandlerRoutine handler = nullptr;
    PlatformHandle statusHandle = nullptr;
    bool serviceMainDone = false, timeoutsReleased = false;
    int timeoutSleeps = 0, liveThreads = 0;
    std::set<PlatformHandle> liveEvents, closedEvents;
    std::vector<std::unique_ptr<FakeHandle>> handles;  // kept until the fake goes, so addresses stay unique
    std::set<PlatformHandle> open, liveSources;         // manager, service and key handles; event sources

    PlatformHandle newHandle(const std::string& name, std::set<PlatformHandle>* into) {
        handles.emplace_back(new FakeHandle{name});
        if (into) into->insert(handles.back().get());
        return handles.back().get();
    }
    const std::string* openName(PlatformHandle h) {
        return open.count(h) ? &static_cast<FakeHandle*>(h)->name : nullptr;
    }
    template <class Predicate>
    bool waitFor(int timeoutMs, Predicate predicate) {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), predicate);
    }
};

namespace {

FakeServiceManager& f() { return *current; }
FakeServiceManager::Internals& in() { return *current->internals; }

PlatformHandle failWith(uint32_t error) {
    Platform.setLastError(error);
    return nullptr;
}

// ---- Service control manager.
PlatformHandle fakeOpenScManager(uint32_t) {
    Guard g(in().m);
    return f().openScManagerError ? failWith(f().openScManagerError) : in().newHandle("", &in().open);
}

PlatformHandle fakeOpenService(PlatformHandle manager, const char* name, uint32_t) {
    Guard g(in().m);
    if (!in().openName(manager)) return failWith(kErrorInvalidHandle);
    if (f().openServiceError) return failWith(f().openServiceError);
    if (!f().services.count(name)) return failWith(kErrorServiceDoesNotExist);
    return in().newHandle(name, &in().open);
}

PlatformHandle fakeCreateService(PlatformHandle manager, const char* name, const char*, uint32_t, uint32_t,
                                 uint32_t startType, uint32_t, const char* binaryPath) {
    Guard g(in().m);
    if (!in().openName(manager)) return failWith(kErrorInvalidHandle);
    if (f().createServiceError) return failWith(f().createServiceError);
    if (f().services.count(name)) return failWith(kErrorServiceExists);
    f().services[name] = FakeServiceEntry{startType, binaryPath};
    f().registry[std::string("SYSTEM\\CurrentControlSet\\Services\\") + name];
    return in().newHandle(name, &in().open);
}

bool recordSetting(PlatformHandle service, const std::string& setting) {
    Guard g(in().m);
    const std::string* name = in().openName(service);
    if (!name) return failWith(kErrorInvalidHandle) != nullptr;
    f().settings[*name].push_back(setting);
    return true;
}

bool fakeDeleteService(PlatformHandle service) {
    Guard g(in().m);
    const std::string* name = in().openName(service);
    if (!name) return failWith(kErrorInvalidHandle) != nullptr;
    if (f().deleteServiceError) return failWith(f().deleteServiceError) != nullptr;
    f().services.erase(*name);
    f().registry.erase("SYSTEM\\CurrentControlSet\\Services\\" + *name);
    return true;
}

bool fakeCloseServiceHandle(PlatformHandle handle) {
    Guard g(in().m);
    Platform.setLastError(0);  // closing succeeds with a fresh last error, as a real call may leave it
    if (in().open.erase(handle)) return true;
    f().faults.push_back("closeServiceHandle on a handle that is not open");
    return false;
}

bool fakeStartServiceDispatcher(const char* serviceName, ServiceMainRoutine routine) {
    if (f().dispatcherError) return failWith(f().dispatcherError) != nullptr;
    FakeServiceManager::Internals& s = in();
    std::string name = serviceName;
    {
        Guard g(s.m);
        f().dispatchedName = name;
        s.serviceMainDone = false;
    }
    std::thread service([&s, routine, name] {
        std::vector<char> argument(name.c_str(), name.c_str() + name.size() + 1);
        char* argv[] = {argument.data(), nullptr};
        routine(1, argv);
        Guard g(s.m);
        s.serviceMainDone = true;
        s.cv.notify_all();
    });
    // Controls are delivered on this thread, like the real dispatcher does.
    std::unique_lock<std::mutex> lock(s.m);
    auto controlReady = [&] { return !s.controls.empty() && s.handler && !f().statuses.empty(); };
    for (;;) {
        s.cv.wait(lock, [&] { return s.serviceMainDone || controlReady(); });
        if (!controlReady()) break;
        uint32_t control = s.controls.front();
        s.controls.pop_front();
        lock.unlock();
        s.handler(control);
        lock.lock();
    }
    lock.unlock();
    service.join();
    return true;
}

PlatformHandle fakeRegisterServiceCtrlHandler(const char* serviceName, ServiceHandlerRoutine handler) {
    Guard g(in().m);
    in().handler = handler;
    in().statusHandle = in().newHandle(serviceName, nullptr);
    in().cv.notify_all();
    return in().statusHandle;
}

bool fakeSetServiceStatus(PlatformHandle statusHandle, const ServiceStatusRecord* status) {
    std::unique_lock<std::mutex> lock(in().m);
    if (!statusHandle || statusHandle != in().statusHandle) f().faults.push_back("setServiceStatus on a wrong handle");
    f().statuses.push_back(*status);
    in().cv.notify_all();
    bool controlWaiting = f().statuses.size() == 1 && !in().controls.empty();
    lock.unlock();
    // A control sent at once may reach the handler before the service is back from this call.
    if (controlWaiting) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return true;
}

// ---- Registry.
long fakeRegCreateKey(RegistryRoot, const char* path, uint32_t, PlatformHandle* key) {
    Guard g(in().m);
    *key = nullptr;
    if (f().createKeyStatus) return f().createKeyStatus;
    f().registry[path];
    *key = in().newHandle(path, &in().open);
    return 0;
}

long fakeRegOpenKey(RegistryRoot, const char* path, uint32_t, PlatformHandle* key) {
    Guard g(in().m);
    *key = f().registry.count(path) ? in().newHandle(path, &in().open) : nullptr;
    return *key ? 0L : long{kErrorFileNotFound};
}

long fakeRegSetValue(PlatformHandle key, const char* name, uint32_t type, const void* data, uint32_t size) {
    Guard g(in().m);
    const std::string* path = in().openName(key);
    if (!path) return kErrorInvalidHandle;
    auto failure = f().setValueStatus.find(name);
    if (failure != f().setValueStatus.end()) return failure->second;
    f().registry[*path][name] = FakeRegistryValue{type, std::string(static_cast<const char*>(data), size)};
    return 0;
}

long fakeRegCloseKey(PlatformHandle key) {
    Guard g(in().m);
    if (in().open.erase(key)) return 0;
    f().faults.push_back("regCloseKey on a key that is not open");
    return kErrorInvalidHandle;
}

// ---- Event log.
PlatformHandle fakeRegisterEventSource(const char* sourceName) {
    Guard g(in().m);
    return f().eventSourceError ? failWith(f().eventSourceError) : in().newHandle(sourceName, &in().liveSources);
}

bool fakeReportEvent(PlatformHandle source, uint16_t type, uint32_t, const char* text) {
    Guard g(in().m);
    if (!source) return false;
    if (!in().liveSources.count(source)) {
        f().faults.push_back(std::string("report through a deregistered source: ") + text);
        return false;
    }
    f().events.push_back(FakeLoggedEvent{type, text});
    return true;
}

bool fakeDeregisterEventSource(PlatformHandle source) {
    Guard g(in().m);
    if (!in().liveSources.erase(source)) {
        f().faults.push_back("deregistering a source that is not registered");
        return false;
    }
    ++f().eventSourcesDeregistered;
    return true;
}

// ---- Threads, events, sleep.
struct ThreadStart {
    ThreadRoutine routine;
    void* parameter;
};

uint32_t countedThread(void* p) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(p));
    FakeServiceManager::Internals& s = in();
    uint32_t rc = start->routine(start->parameter);
    Guard g(s.m);
    --s.liveThreads;
    s.cv.notify_all();
    return rc;
}

PlatformHandle fakeCreateThread(ThreadRoutine routine, void* parameter) {
    {
        Guard g(in().m);
        auto failure = f().failingThreads.find(routine);
        if (failure != f().failingThreads.end()) return failWith(failure->second);
        ++in().liveThreads;
    }
    return in().previous.createThread(countedThread, new ThreadStart{routine, parameter});
}

PlatformHandle fakeCreateEvent() {
    if (f().createEventError) return failWith(f().createEventError);
    PlatformHandle h = in().previous.createEvent();
    Guard g(in().m);
    if (h) in().liveEvents.insert(h);
    return h;
}

// A closed event is only freed when the fake goes, so a misuse cannot touch freed memory.
bool liveEvent(PlatformHandle event, const char* misuse) {
    Guard g(in().m);
    if (!in().liveEvents.count(event)) f().faults.push_back(misuse);
    return in().liveEvents.count(event) != 0;
}
bool fakeSetEvent(PlatformHandle event) {
    return liveEvent(event, "setEvent on a closed or null event") && in().previous.setEvent(event);
}
void fakeWaitForEvent(PlatformHandle event) {
    if (liveEvent(event, "waiting on a closed event")) in().previous.waitForEvent(event);
}

bool fakeCloseHandle(PlatformHandle handle) {
    Guard g(in().m);
    if (in().liveEvents.erase(handle)) {
        in().closedEvents.insert(handle);
        ++f().eventsClosed;
        return true;
    }
    if (in().closedEvents.count(handle)) f().faults.push_back("closing an event twice");
    return !in().closedEvents.count(handle) && in().previous.closeHandle(handle);
}

void fakeSleepMs(uint32_t milliseconds) {
    if (milliseconds >= 1000) {  // the stop time-out, whatever its length: it passes when the test says so
        std::unique_lock<std::mutex> lock(in().m);
        ++in().timeoutSleeps;
        in().cv.notify_all();
        in().cv.wait(lock, [] { return in().timeoutsReleased; });
    } else if (milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

FakeServiceManager::FakeServiceManager(bool ownLastError) : internals(new Internals), saved_(Platform) {
    internals->outer = current;
    current = this;
    internals->previous = Platform;
    if (ownLastError) {
        threadLastError = 0;
        Platform.getLastError = [] { return threadLastError; };
        Platform.setLastError = [](uint32_t code) { threadLastError = code; };
    }
    Platform.openScManager = fakeOpenScManager;
    Platform.openService = fakeOpenService;
    Platform.createService = fakeCreateService;
    Platform.deleteService = fakeDeleteService;
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
    Platform.closeServiceHandle = fakeCloseServiceHandle;
    Platform.startServiceDispatcher = fakeStartServiceDispatcher;
    Platform.registerServiceCtrlHandler = fakeRegisterServiceCtrlHandler;
    Platform.setServiceStatus = fakeSetServiceStatus;
    Platform.regCreateKey = fakeRegCreateKey;
    Platform.regOpenKey = fakeRegOpenKey;
    Platform.regSetValue = fakeRegSetValue;
    Platform.regCloseKey = fakeRegCloseKey;
    Platform.registerEventSource = fakeRegisterEventSource;
    Platform.reportEvent = fakeReportEvent;
    Platform.deregisterEventSource = fakeDeregisterEventSource;
    Platform.createThread = fakeCreateThread;
    Platform.createEvent = fakeCreateEvent;
    Platform.setEvent = fakeSetEvent;
    Platform.waitForEvent = fakeWaitForEvent;
    Platform.closeHandle = fakeCloseHandle;
    Platform.sleepMs = fakeSleepMs;
}

FakeServiceManager::~FakeServiceManager() {
    releaseTimeouts();
    waitForThreads();
    for (PlatformHandle event : internals->liveEvents) internals->previous.closeHandle(event);
    for (PlatformHandle event : internals->closedEvents) internals->previous.closeHandle(event);
    Platform = saved_;
    current = internals->outer;
    delete internals;
}

std::unique_lock<std::mutex> FakeServiceManager::lock() { return std::unique_lock<std::mutex>(internals->m); }
int FakeServiceManager::openHandles() const { return static_cast<int>(internals->open.size()); }

void FakeServiceManager::sendControl(uint32_t control) {
    Guard g(internals->m);
    internals->controls.push_back(control);
    internals->cv.notify_all();
}

bool FakeServiceManager::waitForStatuses(size_t count, int timeoutMs) {
    return internals->waitFor(timeoutMs, [&] { return statuses.size() >= count; });
}

bool FakeServiceManager::waitForTimeoutSleeps(int count, int timeoutMs) {
    return internals->waitFor(timeoutMs, [&] { return internals->timeoutSleeps >= count; });
}

void FakeServiceManager::releaseTimeouts() {
    Guard g(internals->m);
    internals->timeoutsReleased = true;
    internals->cv.notify_all();
}

bool FakeServiceManager::waitForThreads(int timeoutMs) {
    return internals->waitFor(timeoutMs, [&] { return internals->liveThreads == 0; });
}

std::vector<std::string> FakeServiceManager::eventTexts() {
    Guard g(internals->m);
    std::vector<std::string> texts;
    for (const FakeLoggedEvent& e : events) texts.push_back(e.text);
    return texts;
}
