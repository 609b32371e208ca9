// Fake service control manager, registry writes and event log over the platform table,
// with counting wrappers around the real threads and events.
#include "fakes/fake_service.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "service/runtime.h"

namespace {

FakeServiceManager* current;
thread_local uint32_t threadLastError;

enum class HandleKind { Manager, Service, StatusHandle, EventSource, RegistryKey };
struct FakeHandle {
    HandleKind kind;
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
    bool serviceMainDone = false;
    bool timeoutsReleased = false;
    int timeoutSleeps = 0;
    int liveThreads = 0;
    std::set<PlatformHandle> liveEvents, closedEvents;
    std::vector<PlatformHandle> allEvents;
    std::vector<std::unique_ptr<FakeHandle>> handles;  // kept until the fake goes, so addresses stay unique
    std::set<const FakeHandle*> open;                   // SCM handles and registry keys not yet closed
    std::set<const FakeHandle*> liveSources;

    PlatformHandle newHandle(HandleKind kind, const std::string& name) {
        handles.push_back(std::unique_ptr<FakeHandle>(new FakeHandle{kind, name}));
        FakeHandle* h = handles.back().get();
        if (kind != HandleKind::StatusHandle && kind != HandleKind::EventSource) open.insert(h);
        return h;
    }
};

using Internals = FakeServiceManager::Internals;

namespace {

FakeServiceManager& f() { return *current; }
FakeServiceManager::Internals& in() { return *current->internals; }

uint32_t fakeGetLastError() { return threadLastError; }
void fakeSetLastError(uint32_t code) { threadLastError = code; }

PlatformHandle failWith(uint32_t error) {
    Platform.setLastError(error);
    return nullptr;
}

// ---- Service control manager.
PlatformHandle fakeOpenScManager(uint32_t) {
    std::lock_guard<std::mutex> g(in().m);
    if (f().openScManagerError) return failWith(f().openScManagerError);
    return in().newHandle(HandleKind::Manager, "");
}

PlatformHandle fakeOpenService(PlatformHandle manager, const char* name, uint32_t) {
    std::lock_guard<std::mutex> g(in().m);
    if (!manager || !in().open.count(static_cast<FakeHandle*>(manager))) return failWith(kErrorInvalidHandle);
    if (f().openServiceError) return failWith(f().openServiceError);
    if (!f().services.count(name)) return failWith(kErrorServiceDoesNotExist);
    return in().newHandle(HandleKind::Service, name);
}

PlatformHandle fakeCreateService(PlatformHandle manager, const char* name, const char*, uint32_t, uint32_t,
                                 uint32_t startType, uint32_t, const char* binaryPath) {
    std::lock_guard<std::mutex> g(in().m);
    if (!manager || !in().open.count(static_cast<FakeHandle*>(manager))) return failWith(kErrorInvalidHandle);
    if (f().createServiceError) return failWith(f().createServiceError);
    if (f().services.count(name)) return failWith(kErrorServiceExists);
    f().services[name] = FakeServiceEntry{startType, binaryPath};
    f().registry[std::string("SYSTEM\\CurrentControlSet\\Services\\") + name];
    return in().newHandle(HandleKind::Service, name);
}

// Settings after creation, written down as "name=value" texts of the service.
bool recordSetting(PlatformHandle service, const std::string& setting) {
    std::lock_guard<std::mutex> g(in().m);
    FakeHandle* h = static_cast<FakeHandle*>(service);
    if (!h || !in().open.count(h)) return failWith(kErrorInvalidHandle) != nullptr;
    f().settings[h->name].push_back(setting);
    return true;
}

bool fakeChangeServiceConfig(PlatformHandle service, const char* dependencies, const char* account) {
    std::string list;
    for (const char* p = dependencies; p && *p; p += strlen(p) + 1) list += std::string(p) + "|";
    return recordSetting(service, "dependencies=" + list + " account=" + (account ? account : "<null>"));
}
bool fakeSetServiceFailureActions(PlatformHandle service, uint32_t reset, uint32_t delay, uint32_t count) {
    return recordSetting(service, "restart=" + std::to_string(reset) + "," + std::to_string(delay) + "," +
                                      std::to_string(count));
}
bool fakeSetServiceDelayedStart(PlatformHandle service, bool delayed) {
    return recordSetting(service, std::string("delayed=") + (delayed ? "1" : "0"));
}

bool fakeDeleteService(PlatformHandle service) {
    std::lock_guard<std::mutex> g(in().m);
    FakeHandle* h = static_cast<FakeHandle*>(service);
    if (!h || !in().open.count(h)) return failWith(kErrorInvalidHandle) != nullptr;
    if (f().deleteServiceError) return failWith(f().deleteServiceError) != nullptr;
    f().services.erase(h->name);
    f().registry.erase("SYSTEM\\CurrentControlSet\\Services\\" + h->name);
    return true;
}

bool fakeCloseServiceHandle(PlatformHandle handle) {
    std::lock_guard<std::mutex> g(in().m);
    FakeHandle* h = static_cast<FakeHandle*>(handle);
    // Closing succeeds with a fresh last error, as a real call may leave it.
    Platform.setLastError(0);
    if (!h || !in().open.erase(h)) {
        f().faults.push_back("closeServiceHandle on a handle that is not open");
        return false;
    }
    return true;
}

bool fakeStartServiceDispatcher(const char* serviceName, ServiceMainRoutine routine) {
    if (f().dispatcherError) return failWith(f().dispatcherError) != nullptr;
    Internals& s = in();
    {
        std::lock_guard<std::mutex> g(s.m);
        f().dispatchedName = serviceName;
        s.serviceMainDone = false;
    }
    std::string name = serviceName;
    std::thread service([&s, routine, name] {
        std::vector<char> argument(name.begin(), name.end());
        argument.push_back('\0');
        char* argv[] = {argument.data(), nullptr};
        routine(1, argv);
        std::lock_guard<std::mutex> g(s.m);
        s.serviceMainDone = true;
        s.cv.notify_all();
    });
    // Controls are delivered on this thread, like the real dispatcher does.
    std::unique_lock<std::mutex> lock(s.m);
    for (;;) {
        s.cv.wait(lock, [&] {
            return s.serviceMainDone || (!s.controls.empty() && s.handler && !f().statuses.empty());
        });
        if (!s.controls.empty() && s.handler && !f().statuses.empty()) {
            uint32_t control = s.controls.front();
            s.controls.pop_front();
            ServiceHandlerRoutine handler = s.handler;
            lock.unlock();
            handler(control);
            lock.lock();
            continue;
        }
        break;
    }
    lock.unlock();
    service.join();
    return true;
}

PlatformHandle fakeRegisterServiceCtrlHandler(const char* serviceName, ServiceHandlerRoutine handler) {
    std::lock_guard<std::mutex> g(in().m);
    if (f().handlerRegistrationFails) return failWith(kErrorFailedServiceControllerConnect);
    in().handler = handler;
    in().statusHandle = in().newHandle(HandleKind::StatusHandle, serviceName);
    in().cv.notify_all();
    return in().statusHandle;
}

bool fakeSetServiceStatus(PlatformHandle statusHandle, const ServiceStatusRecord* status) {
    std::lock_guard<std::mutex> g(in().m);
    if (!statusHandle || statusHandle != in().statusHandle) f().faults.push_back("setServiceStatus on a wrong handle");
    f().statuses.push_back(*status);
    in().cv.notify_all();
    return true;
}

// ---- Registry.
long fakeRegCreateKey(RegistryRoot, const char* path, uint32_t, PlatformHandle* key) {
    std::lock_guard<std::mutex> g(in().m);
    *key = nullptr;
    if (f().createKeyStatus) return f().createKeyStatus;
    f().registry[path];
    *key = in().newHandle(HandleKind::RegistryKey, path);
    return 0;
}

long fakeRegOpenKey(RegistryRoot, const char* path, uint32_t, PlatformHandle* key) {
    std::lock_guard<std::mutex> g(in().m);
    *key = nullptr;
    if (!f().registry.count(path)) return kErrorFileNotFound;
    *key = in().newHandle(HandleKind::RegistryKey, path);
    return 0;
}

long fakeRegSetValue(PlatformHandle key, const char* name, uint32_t type, const void* data, uint32_t size) {
    std::lock_guard<std::mutex> g(in().m);
    FakeHandle* h = static_cast<FakeHandle*>(key);
    if (!h || !in().open.count(h)) return kErrorInvalidHandle;
    auto failure = f().setValueStatus.find(name);
    if (failure != f().setValueStatus.end()) return failure->second;
    f().registry[h->name][name] = FakeRegistryValue{type, std::string(static_cast<const char*>(data), size)};
    return 0;
}

long fakeRegCloseKey(PlatformHandle key) {
    std::lock_guard<std::mutex> g(in().m);
    if (!in().open.erase(static_cast<FakeHandle*>(key))) {
        f().faults.push_back("regCloseKey on a key that is not open");
        return kErrorInvalidHandle;
    }
    return 0;
}

// ---- Event log.
PlatformHandle fakeRegisterEventSource(const char* sourceName) {
    std::lock_guard<std::mutex> g(in().m);
    if (f().eventSourceError) return failWith(f().eventSourceError);
    PlatformHandle h = in().newHandle(HandleKind::EventSource, sourceName);
    in().liveSources.insert(static_cast<FakeHandle*>(h));
    return h;
}

bool fakeReportEvent(PlatformHandle source, uint16_t type, uint32_t, const char* text) {
    std::lock_guard<std::mutex> g(in().m);
    if (!source) return false;
    if (!in().liveSources.count(static_cast<FakeHandle*>(source))) {
        f().faults.push_back(std::string("report through a deregistered source: ") + text);
        return false;
    }
    f().events.push_back(FakeLoggedEvent{type, text});
    return true;
}

bool fakeDeregisterEventSource(PlatformHandle source) {
    std::lock_guard<std::mutex> g(in().m);
    if (!in().liveSources.erase(static_cast<FakeHandle*>(source))) {
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
    Internals& s = in();
    uint32_t rc = start->routine(start->parameter);
    std::lock_guard<std::mutex> g(s.m);
    --s.liveThreads;
    s.cv.notify_all();
    return rc;
}

PlatformHandle fakeCreateThread(ThreadRoutine routine, void* parameter) {
    {
        std::lock_guard<std::mutex> g(in().m);
        auto failure = f().failingThreads.find(routine);
        if (failure != f().failingThreads.end()) return failWith(failure->second);
        ++in().liveThreads;
    }
    return in().previous.createThread(countedThread, new ThreadStart{routine, parameter});
}

PlatformHandle fakeCreateEvent() {
    if (f().createEventError) return failWith(f().createEventError);
    PlatformHandle h = in().previous.createEvent();
    std::lock_guard<std::mutex> g(in().m);
    if (h) {
        in().liveEvents.insert(h);
        in().allEvents.push_back(h);
    }
    return h;
}

bool fakeSetEvent(PlatformHandle event) {
    {
        std::lock_guard<std::mutex> g(in().m);
        if (!in().liveEvents.count(event)) {
            f().faults.push_back(event ? "setEvent on a closed event" : "setEvent on a null event");
            return false;
        }
    }
    // Closed events are only freed when the fake goes, so this cannot touch freed memory.
    return in().previous.setEvent(event);
}

void fakeWaitForEvent(PlatformHandle event) {
    {
        std::lock_guard<std::mutex> g(in().m);
        if (!in().liveEvents.count(event)) {
            f().faults.push_back("waiting on a closed event");
            return;
        }
    }
    in().previous.waitForEvent(event);
}

bool fakeCloseHandle(PlatformHandle handle) {
    std::lock_guard<std::mutex> g(in().m);
    if (in().liveEvents.erase(handle)) {
        in().closedEvents.insert(handle);
        ++f().eventsClosed;
        return true;
    }
    if (in().closedEvents.count(handle)) {
        f().faults.push_back("closing an event twice");
        return false;
    }
    return in().previous.closeHandle(handle);
}

void fakeSleepMs(uint32_t milliseconds) {
    if (milliseconds >= 1000) {  // the stop time-out, whatever its configured length
        // The stop time-out passes only when the test says so.
        std::unique_lock<std::mutex> lock(in().m);
        ++in().timeoutSleeps;
        in().cv.notify_all();
        in().cv.wait(lock, [] { return in().timeoutsReleased; });
        return;
    }
    if (milliseconds) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

template <class Predicate>
bool waitFor(int timeoutMs, Predicate predicate) {
    std::unique_lock<std::mutex> lock(in().m);
    return in().cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), predicate);
}

}  // namespace

FakeServiceManager* fakeServiceManager() { return current; }

FakeServiceManager::FakeServiceManager(bool ownLastError) : internals(new Internals), saved_(Platform) {
    internals->outer = current;
    current = this;
    internals->previous = Platform;
    if (ownLastError) {
        threadLastError = 0;
        Platform.getLastError = fakeGetLastError;
        Platform.setLastError = fakeSetLastError;
    }
    Platform.openScManager = fakeOpenScManager;
    Platform.openService = fakeOpenService;
    Platform.createService = fakeCreateService;
    Platform.deleteService = fakeDeleteService;
    Platform.changeServiceConfig = fakeChangeServiceConfig;
    Platform.setServiceFailureActions = fakeSetServiceFailureActions;
    Platform.setServiceDelayedStart = fakeSetServiceDelayedStart;
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
    for (PlatformHandle event : internals->allEvents) internals->previous.closeHandle(event);
    Platform = saved_;
    current = internals->outer;
    delete internals;
}

std::unique_lock<std::mutex> FakeServiceManager::lock() { return std::unique_lock<std::mutex>(internals->m); }

int FakeServiceManager::openHandles() const { return static_cast<int>(internals->open.size()); }

void FakeServiceManager::sendControl(uint32_t control) {
    std::lock_guard<std::mutex> g(internals->m);
    internals->controls.push_back(control);
    internals->cv.notify_all();
}

bool FakeServiceManager::waitForStatuses(size_t count, int timeoutMs) {
    return waitFor(timeoutMs, [&] { return statuses.size() >= count; });
}

bool FakeServiceManager::waitForTimeoutSleeps(int count, int timeoutMs) {
    return waitFor(timeoutMs, [&] { return internals->timeoutSleeps >= count; });
}

void FakeServiceManager::releaseTimeouts() {
    std::lock_guard<std::mutex> g(internals->m);
    internals->timeoutsReleased = true;
    internals->cv.notify_all();
}

bool FakeServiceManager::waitForThreads(int timeoutMs) {
    return waitFor(timeoutMs, [&] { return internals->liveThreads == 0; });
}

std::vector<std::string> FakeServiceManager::eventTexts() {
    std::lock_guard<std::mutex> g(internals->m);
    std::vector<std::string> texts;
    for (const FakeLoggedEvent& e : events) texts.push_back(e.text);
    return texts;
}
