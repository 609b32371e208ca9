// The fault-injecting wrapper: each slot that can fail gets a forwarding function of its own
// type, made from one template; the table below says how each slot fails.
#include "fakes/faulty_platform.h"

#include <atomic>
#include <type_traits>

namespace {

// The error every injected failure leaves: one the core has a text for and that no fake returns.
constexpr SystemError kInjectedError{ErrorKind::AccessDenied, 5};

// What a failed call returns, by its return type: false, null, 0, and the error itself.
template <class R>
R failureValue() {
    static_assert(std::is_arithmetic_v<R> || std::is_pointer_v<R>, "a return type without a failure value");
    return R{};
}
template <>
SystemError failureValue<SystemError>() { return kInjectedError; }
template <>
CacheTrust failureValue<CacheTrust>() { return CacheTrust::Open; }
template <>
FileKind failureValue<FileKind>() { return FileKind::Missing; }
void setInjectedError() { Platform.errors.set(kInjectedError); }

// Fails: returns the type's failure value (a void slot is skipped). FailsWith: a value of the
// slot's own contract. Released: a closing call that fails after releasing what it was given,
// so the fakes' leak checks still hold. Never: a call without a plausible failure, not counted.
enum class Way { Fails, Released, Never };
struct How { Way way; bool hasValue; long long value; };
constexpr How Fails{Way::Fails, false, 0}, Released{Way::Released, false, 0}, Never{Way::Never, false, 0};
constexpr How FailsWith(long long value) { return How{Way::Fails, true, value}; }

// clang-format off
#define FAULTY_SLOTS(X) \
    X(files, currentDirectory, Fails) X(files, modulePath, Fails) X(files, setCurrentDirectory, Fails) \
    X(files, canOpenForReading, Fails) X(files, kind, Fails) /* Missing */ X(files, listDirectory, Fails) \
    X(files, identity, Fails) X(files, readStart, Fails) X(files, resolveLinks, Fails) X(files, readAt, Fails) \
    X(files, readProfileString, Never) /* an unreadable file gives the default, as a missing one */ \
    X(errors, last, Never) X(errors, set, Never) X(errors, ofKind, Never) X(errors, text, Fails) \
    X(process, loadString, Fails) X(process, readVersionString, Fails) X(process, environment, Fails) \
    X(process, decodeCodePage, Never) X(process, encodeCodePage, Never) \
    X(process, commandLine, Fails) /* the arguments the runtime split are taken instead */ \
    X(process, releaseFreeMemory, Fails) X(process, createNamedMutex, Fails) \
    X(library, load, Fails) X(library, symbol, Fails) X(library, free, Released) \
    X(runtimes, installed, Fails) /* as if no installer had left a record */ \
    X(services, find, Fails) X(services, checkAccount, Fails) X(services, create, Fails) X(services, configure, Fails) \
    X(services, remove, Fails) X(services, state, Fails) X(services, stop, Fails) \
    X(services, exitCode, Never) /* a mapping: no failure to meet */ X(services, run, Fails) \
    X(services, registerHandler, Fails) X(services, setStatus, Fails) X(services, ready, Fails) \
    X(eventLog, registerSource, Fails) X(eventLog, report, Fails) X(eventLog, deregisterSource, Released) \
    X(eventLog, addSource, Fails) \
    X(threads, create, Fails) X(threads, createEvent, Fails) \
    X(threads, setEvent, Never) /* signalling an event the run holds: no failure to meet */ \
    X(threads, waitForEvent, Never) X(threads, closeEvent, Released) X(threads, sleepMs, Never) \
    X(threads, initLock, Never) X(threads, acquireLock, Never) X(threads, releaseLock, Never) \
    X(console, writeLine, Never) /* the reports' own way out */ X(console, alloc, Fails) \
    X(console, setCtrlHandler, Fails) X(console, reopenStdStreams, Fails) X(console, startedWith, Fails) \
    X(console, attachParent, Fails) \
    X(desktop, showMessageBox, Fails) X(desktop, openUrl, Fails) \
    X(cacheFiles, userCacheFolder, Fails) X(cacheFiles, createFolders, Fails) X(cacheFiles, writeNewFile, Fails) \
    X(cacheFiles, renameFile, Fails) X(cacheFiles, deleteFile, Fails) X(cacheFiles, fileStamp, Fails) \
    X(cacheFiles, freeBytes, Fails) X(cacheFiles, processId, Never) X(cacheFiles, runQuietly, FailsWith(-1)) \
    X(cacheFiles, examine, Fails) /* what cannot be examined is not trusted */ \
    X(cacheFiles, processRunning, Never) /* a query: no failure to meet */ X(cacheFiles, startDetached, Fails) \
    X(logFiles, open, Fails) X(logFiles, write, Fails) X(logFiles, size, Fails) X(logFiles, close, Never) \
    X(logFiles, pointStandardStreams, Fails) X(logFiles, localDay, Never) X(logFiles, milliseconds, Never) \
    X(logFiles, movable, Fails) X(logFiles, move, Fails) X(logFiles, createFolders, Fails)
// clang-format on

// A slot missing from the table leaves the sizes apart (a new group, the binding below).
template <class Group>
using GroupOf = std::remove_pointer_t<Group>;
#define SLOT_SIZE(g, slot, how) +sizeof(GroupOf<decltype(PlatformOps::g)>::slot)
static_assert(0 FAULTY_SLOTS(SLOT_SIZE) == sizeof(PlatformOps) - sizeof(PlatformTraits) - 2 * sizeof(void*) +
                                              sizeof(CacheFileOps) + sizeof(LogFileOps),
              "a slot not listed");

std::atomic<uint64_t> callCount;
uint64_t failAt;
std::atomic<const char*> failedName{""};
CacheFileOps cacheFiles;  // the wrapped copies of the tables the platform table points at
LogFileOps logFiles;

bool failsNow(const char* name) {
    if (++callCount != failAt) return false;
    failedName = name;
    return true;
}

template <int Id, class Slot>
struct Faulty;
template <int Id, class R, class... A>
struct Faulty<Id, R (*)(A...)> {
    static inline R (*inner)(A...);
    static inline const char* name;
    static inline How how;
    static R call(A... a) {
        if (!failsNow(name)) return inner(a...);
        if (how.way == Way::Released) inner(a...);
        setInjectedError();
        if constexpr (!std::is_void_v<R>) {
            if constexpr (std::is_arithmetic_v<R>)
                if (how.hasValue) return static_cast<R>(how.value);
            return failureValue<R>();
        }
    }
};

template <int Id, class R, class... A>
void wrap(R (*&slot)(A...), const char* name, How how) {
    if (how.way == Way::Never) return;
    using F = Faulty<Id, R (*)(A...)>;
    F::inner = slot, F::name = name, F::how = how;
    slot = F::call;
}

}  // namespace

FaultyPlatform::FaultyPlatform(uint64_t failAtCall) : saved_(Platform) {
    callCount = 0;
    failAt = failAtCall;
    failedName = "";
    cacheFiles = *Platform.cacheFiles;
    logFiles = *Platform.logFiles;
    auto& [files, errors, process, library, runtimes, services, eventLog, threads, console, desktop, cacheTable, logTable,
           traits] = Platform;
    cacheTable = &cacheFiles;
    logTable = &logFiles;
#define WRAP(g, slot, how) wrap<__COUNTER__>(g.slot, #g "." #slot, how);
    FAULTY_SLOTS(WRAP)
}

FaultyPlatform::~FaultyPlatform() { Platform = saved_; }

uint64_t FaultyPlatform::calls() { return callCount; }

const char* FaultyPlatform::failedSlot() { return failedName; }
