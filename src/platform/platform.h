// The platform seam: one process-wide table of OS operations. The Win32 or POSIX
// backend fills it with defaults (chosen by CMake); unit tests replace entries
// with recording fakes and restore the defaults afterwards.
//
// Layering: every include points down,
//   launcher -> service -> invoke/jvm -> core -> platform seam <- backends,
// and tools/pack uses core and the seam's section layout only. This header depends on
// nothing of ours: the records it needs are its own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The seam's one error space: what went wrong, in kinds the core decides on. Each backend
// translates its native codes (Win32 errors, errno values, its own) into a kind and keeps the
// native code, which gives the system's own text and, on Windows, a failed service
// operation's exit code.
enum class ErrorKind : uint8_t {
    None,
    NotFound,  // no such file, directory, key or value
    NoMoreItems,  // a listing or enumeration has nothing further
    MoreData,  // the buffer given is too small for the value
    NameTooLong,  // a path or name longer than the system or a buffer takes
    AccessDenied,  // refused: permissions, a read-only file system
    ServiceMissing,  // no service of that name is installed
    ServiceExists,  // a service of that name is installed already
    InvalidAccount,  // a service account that does not exist
    InvalidServiceText,  // a service name or command line the manager cannot hold
    ServiceManagerFailed,  // the service manager's own tool failed or could not run
    ServiceStopTimedOut,  // a service asked to stop is still running when its time is up
    ServiceMarkedForDelete,  // a deleted service stays until its last handle is closed
    Unsupported,  // the system cannot do this
    OutOfMemory,
    Other,  // anything else: only its text tells
};

struct SystemError {
    ErrorKind kind;
    uint32_t code;  // native, from the backend (ErrorOps::ofKind for a kind the launcher decides on)
    bool failed() const { return kind != ErrorKind::None; }
    // A directory listing that ended this way listed everything there was: an empty or a
    // missing directory holds nothing.
    bool listedAll() const {
        return kind == ErrorKind::None || kind == ErrorKind::NoMoreItems || kind == ErrorKind::NotFound;
    }
};

constexpr SystemError kNoError{ErrorKind::None, 0};

// The service manager's exit code for a service that ended with a code of its own
// (dwWin32ExitCode; the code itself in dwServiceSpecificExitCode).
constexpr uint32_t kServiceSpecificExitCode = 1066;

// The seven fields of the service status record, in the order the service manager expects.
struct ServiceStatusRecord {
    uint32_t dwServiceType;
    uint32_t dwCurrentState;
    uint32_t dwControlsAccepted;
    uint32_t dwWin32ExitCode;
    uint32_t dwServiceSpecificExitCode;
    uint32_t dwCheckPoint;
    uint32_t dwWaitHint;
};

// The longest path the process meets, in bytes of its code page, with the terminator:
// Windows' ANSI calls take MAX_PATH UTF-16 units, up to three bytes each in UTF-8; Linux
// takes PATH_MAX bytes.
#ifdef _WIN32
constexpr unsigned kPlatformPathBytes = 260 * 3;
#else
constexpr unsigned kPlatformPathBytes = 4096;
#endif

constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr uint32_t kFileAttributeDirectory = 0x10;

// Path rules of the OS the launcher runs on; unit tests swap them to run the other OS's rules.
struct PathStyle {
    char dirSeparator;  // '\\' or '/'
    char classPathSeparator;  // ';' or ':' inside -Djava.class.path=
    bool caseInsensitiveNames;
};

// Identity of a directory or file, the same through every path that leads to it (to walk
// each directory once even through links, to name an executable's single-instance mutex).
struct DirIdentity {
    uint64_t volume;
    uint64_t index;
    bool operator<(const DirIdentity& o) const { return volume != o.volume ? volume < o.volume : index < o.index; }
    bool operator==(const DirIdentity& o) const { return volume == o.volume && index == o.index; }
};

// One name of a directory listing: where its text starts in DirListing::names.
struct DirName {
    uint32_t offset;
    uint32_t length;
    bool isDirectory;  // following links, as the listing reports it
};

// A directory's names packed into one text (each ends in '\0'), so that listing a
// directory of thousands of archives costs two growing arrays, not an allocation per name.
// The caller owns it and reuses it from one directory to the next.
struct DirListing {
    std::vector<char> names;
    std::vector<DirName> entries;
    // The listed directory's own identity, taken from the open directory (so it is the
    // target's when the path goes through links); hasIdentity is false when the system
    // could not tell it.
    DirIdentity identity;
    bool hasIdentity;

    DirListing() : identity{0, 0}, hasIdentity(false) {}
    void clear();
    const char* name(const DirName& entry) const { return names.data() + entry.offset; }
    // False, changing nothing, past 4 GiB of names: the listing call then stops with
    // OutOfMemory. Memory that runs out as the arrays grow ends the run (core/allocation.h).
    bool add(const char* name, size_t length, bool isDirectory);
};

typedef void* PlatformHandle;
// An auto-reset event: its own type, so that no other handle can be waited on or closed as one.
struct PlatformEventObject;
typedef PlatformEventObject* PlatformEvent;

// Room for a lock (a critical section on Windows, a mutex elsewhere), made in place by the
// backend so that making one cannot fail.
struct PlatformLock {
    alignas(8) unsigned char storage[64];
};

enum class ModuleFormat { Pe, Elf };

enum class RegistryRoot { LocalMachine };
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kKeyAllAccess = 0xF003F;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegDword = 4;

// Service manager constants (Win32 values).
constexpr uint32_t kScManagerCreateService = 2;
constexpr uint32_t kScManagerAllAccess = 0xF003F;
constexpr uint32_t kServiceQueryConfig = 1;
constexpr uint32_t kServiceQueryStatus = 4;
constexpr uint32_t kServiceStop = 0x20;
constexpr uint32_t kServiceAllAccess = 0xF01FF;
constexpr uint32_t kDeleteAccess = 0x10000;
constexpr uint32_t kServiceWin32OwnProcess = 0x10;
constexpr uint32_t kServiceAutoStart = 2;
constexpr uint32_t kServiceDemandStart = 3;
constexpr uint32_t kServiceErrorNormal = 1;
constexpr uint32_t kServiceStopped = 1;
constexpr uint32_t kServiceStopPending = 3;
constexpr uint32_t kServiceRunning = 4;
constexpr uint32_t kServiceAcceptStop = 1;
constexpr uint32_t kServiceAcceptShutdown = 4;
constexpr uint32_t kServiceControlStop = 1;
constexpr uint32_t kServiceControlInterrogate = 4;
constexpr uint32_t kServiceControlShutdown = 5;

// Message box styles and answers (Win32 values).
constexpr uint32_t kBoxOk = 0x0;
constexpr uint32_t kBoxYesNo = 0x4;
constexpr uint32_t kBoxIconError = 0x10;
constexpr uint32_t kBoxIconQuestion = 0x20;
constexpr uint32_t kBoxIconInformation = 0x40;
constexpr int kBoxAnswerYes = 6;

typedef uint32_t (*ThreadRoutine)(void* parameter);
typedef void (*ServiceMainRoutine)(uint32_t argc, char** argv);
typedef void (*ServiceHandlerRoutine)(uint32_t control);
typedef bool (*ConsoleHandlerRoutine)(uint32_t eventType);

// Settings the service manager keeps with a service besides those of its creation.
struct ServiceSettings {
    const char* description;  // may be empty
    uint32_t restartDelaySeconds;  // 0: not restarted after a failure
    uint32_t stopTimeoutSeconds;  // how long a stop may take before the service is ended
    uint32_t restartCount;  // with a restart delay: restarts before giving up
    uint32_t restartResetSeconds;  // ... counted within this period (0: no period given)
    const char* account;  // systemd: "user" or "user:group" to run as; null or empty: root
};

// What the launcher may trust at a path of the class data cache.
enum class CacheTrust : uint8_t {
    Missing,  // nothing there
    Private,  // a file (or folder) of this account, root or the administrators, not a link, that
    // no other account may write
    Open,  // anything else: a link, another owner, writable by others, the other kind
};

// Files the launcher keeps for itself between runs (the class data cache).
struct CacheFileOps {
    // The folder where the account keeps caches: the local application data folder on
    // Windows; elsewhere $XDG_CACHE_HOME or ~/.cache, and for a service of the system
    // account systemd's $CACHE_DIRECTORY or /var/cache. False when there is none or it does
    // not fit `size`.
    bool (*userCacheFolder)(bool forService, char* buffer, size_t size);
    // Creates the folder and the missing ones above it; true when it is there afterwards.
    bool (*createFolders)(const char* path);
    // Creates a file that must not exist yet (never through a link) and writes `size` bytes; on
    // failure nothing is left.
    bool (*writeNewFile)(const char* path, const void* data, size_t size);
    // Moves a file, replacing `to` where the system allows; false when it did not move.
    bool (*renameFile)(const char* from, const char* to);
    bool (*deleteFile)(const char* path);  // read-only files too
    // Size and last write time (in the system's own units); false when there is no such file.
    bool (*fileStamp)(const char* path, uint64_t* size, uint64_t* time);
    // Bytes the account may still write on the volume holding `folder`; 0 when unknown.
    uint64_t (*freeBytes)(const char* folder);
    uint32_t (*processId)();
    // Runs a program (argv[0] its path, null-terminated) with its standard streams on the
    // null device and without JDK_JAVA_OPTIONS (its options are in argv), and waits for it:
    // its exit code, or -1 when it could not be started.
    int (*runQuietly)(const char* const* argv);
    // Whether the launcher may trust `path` as a file, or a folder when `folder`; a file's size
    // and last write time (the units of fileStamp) when it is Private.
    CacheTrust (*examine)(const char* path, bool folder, uint64_t* size, uint64_t* time);
    // False once no process of this number runs (one of another account counts as running).
    bool (*processRunning)(uint32_t pid);
    // Starts `program` with no arguments apart from this process: in a session of its own, at
    // low priority, its standard streams on the null device, no handle of ours inherited and
    // `assignment` ("NAME=value") added to its environment. Its process number; 0 when it
    // could not be started.
    uint32_t (*startDetached)(const char* program, const char* assignment);
};

// The files that take the redirected standard streams (SystemOutFile, SystemErrFile): written
// straight to the system, without a buffer, so a crash loses nothing that was handed over.
struct LogFileOps {
    // Opens the file for appending, created where missing; `empty` empties an existing one,
    // else its lines stay and every write goes after them, also when other processes write
    // to it at once. Null with the last error set.
    PlatformHandle (*open)(const char* path, bool empty);
    // Writes all `size` bytes; false with the last error set when the system took fewer.
    bool (*write)(PlatformHandle file, const void* data, size_t size);
    // The file's size now, with what other writers of the process's streams added.
    uint64_t (*size)(PlatformHandle file);
    void (*close)(PlatformHandle file);
    // Makes the process's standard output and/or error, at the system level, write to the file,
    // so the JVM's own messages and native libraries' output land there as well. The reports
    // of a service keep the stream they had (systemd's journal).
    bool (*pointStandardStreams)(PlatformHandle file, bool output, bool error);
    // Days since 1970-01-01 by the local calendar.
    int64_t (*localDay)();
    // A steady clock in milliseconds, for the wait before a failed roll-over is tried again.
    uint64_t (*milliseconds)();
    // Whether the file could be moved now: false, with the last error set, while another
    // program holds it open without letting it be moved (as Windows lets a log viewer do).
    bool (*movable)(const char* path);
    // Moves a file to a name that must be free: false, with the last error set, when it did
    // not move, the name being taken (by another process's roll-over) included.
    bool (*move)(const char* from, const char* to);
    // Creates the folder and the missing ones above it, with the access a new file there
    // gets (the log files are no private files); false with the last error set.
    bool (*createFolders)(const char* path);
};

// Directories, files and the INI files of the configuration.
struct FileOps {
    // Both getters follow the Win32 contract: the length copied, the size needed when the
    // buffer is too small (current directory), the buffer size on truncation (module path),
    // 0 on failure with the last error set.
    uint32_t (*currentDirectory)(char* buffer, uint32_t size);
    uint32_t (*modulePath)(char* buffer, uint32_t size);
    bool (*setCurrentDirectory)(const char* path);
    // True when the file can be opened for reading (directories do not count).
    bool (*canOpenForReading)(const char* path);
    uint32_t (*attributes)(const char* path);  // kInvalidFileAttributes with the last error set
    // Adds a directory's names (without "." and "..") to `listing` and sets its identity.
    // Returns kNoError, or the error that stopped the listing; names met before the error
    // are kept. An empty listing reports NoMoreItems, a missing directory NotFound; a
    // listing too large to hold stops with OutOfMemory.
    SystemError (*listDirectory)(const char* directory, DirListing* listing);
    // The file's identity (volume and file index, or device and inode): the same for every
    // path that leads to it (links, mapped drives, short names). False when it cannot be told.
    bool (*identity)(const char* path, DirIdentity* identity);
    // Reads the first bytes of a file (a runtime's release text, a library's header): false
    // when it cannot be opened or read; `got` may be less than `size` for a short file.
    bool (*readStart)(const char* path, void* buffer, uint32_t size, uint32_t* got);
    // The path with every link followed, made absolute. False when the file is not there or
    // the result does not fit `size` (nothing is cut).
    bool (*resolveLinks)(const char* path, char* buffer, size_t size);
    // Reads up to `size` bytes at `offset` of a file (a jar's directory at its end) and
    // gives the file's size; false with the last error set when it cannot be opened or read.
    bool (*readAt)(const char* path, uint64_t offset, void* buffer, uint32_t size, uint32_t* got, uint64_t* fileSize);
    // Profile (INI) read: GetPrivateProfileStringA semantics.
    uint32_t (*readProfileString)(const char* section, const char* key, const char* defaultText, char* buffer,
                                  uint32_t size, const char* file);
};

// The last error of the calling thread and its system text.
struct ErrorOps {
    SystemError (*last)();
    // Sets the calling thread's last error: one taken from last() to keep it across other
    // calls, or one made by ofKind.
    void (*set)(SystemError error);
    // An error of the kind with the system's own code for it, for a refusal the launcher
    // decides on itself (a path too long for its buffer).
    SystemError (*ofKind)(ErrorKind kind);
    // The system's own text for the error (with its own line end), false when there is none.
    bool (*text)(SystemError error, char* buffer, size_t size);
};

// What the process holds of its own: its executable's resources, environment and memory.
struct ProcessOps {
    // Embedded string table: LoadStringA semantics (characters copied, 0 when missing or empty).
    int (*loadString)(unsigned id, char* buffer, int size);
    // One string of the executable's version information; false when missing or empty.
    bool (*readVersionString)(const char* key, char* buffer, size_t size);
    const char* (*environment)(const char* name);
    // Text crossing into Java: the process's code page decoded to UTF-16.
    void (*decodeCodePage)(const char* text, std::u16string* out);
    // Text coming from Java or the system's wide calls, in the process's code page.
    void (*encodeCodePage)(const std::u16string& text, std::string* out);
    // The command line as the system keeps it for a program to split itself (Windows); false
    // where the system hands a program its arguments already split (POSIX).
    bool (*commandLine)(std::u16string* out);
    // Hands heap memory freed by start-up work (the class path scan) back to the system, so
    // it does not stay in the process's footprint while the application runs.
    void (*releaseFreeMemory)();
    // Creates or opens a named mutex, kept until the process ends; *existed tells whether
    // another process had created it. Null with the last error set on failure.
    PlatformHandle (*createNamedMutex)(const char* name, bool* existed);
};

// Library loading. `extraSearchDir` (may be null) is searched for the library's dependencies.
struct LibraryOps {
    PlatformHandle (*load)(const char* path, const char* extraSearchDir);
    void* (*symbol)(PlatformHandle library, const char* name);
    bool (*free)(PlatformHandle library);
};

// Registry (read and write); each call returns its error (kNoError on success): MoreData
// for a value or name larger than the buffer, NoMoreItems past the last subkey.
struct RegistryOps {
    SystemError (*openKey)(RegistryRoot root, const char* path, uint32_t access, PlatformHandle* key);
    SystemError (*queryValue)(PlatformHandle key, const char* name, uint32_t* type, void* data, uint32_t* size);
    SystemError (*enumKey)(PlatformHandle key, uint32_t index, char* name, uint32_t* nameSize);
    SystemError (*closeKey)(PlatformHandle key);
    SystemError (*createKey)(RegistryRoot root, const char* path, uint32_t access, PlatformHandle* key);
    SystemError (*setValue)(PlatformHandle key, const char* name, uint32_t type, const void* data, uint32_t size);
};

// The service manager; handles are null on failure with the last error set.
struct ServiceOps {
    PlatformHandle (*openManager)(uint32_t access);
    PlatformHandle (*open)(PlatformHandle manager, const char* name, uint32_t access);
    PlatformHandle (*create)(PlatformHandle manager, const char* name, const char* displayName, uint32_t access,
                             uint32_t serviceType, uint32_t startType, uint32_t errorControl, const char* binaryPath);
    // Deletes the service. Windows' manager only marks it: it goes once it has stopped and its
    // last handle is closed.
    bool (*remove)(PlatformHandle service);
    // The service's status, as the manager knows it (systemd: running or stopped).
    bool (*queryStatus)(PlatformHandle service, ServiceStatusRecord* status);
    // Sends a control (kServiceControlStop) to the service; false with the last error set.
    bool (*control)(PlatformHandle service, uint32_t control);
    bool (*close)(PlatformHandle handle);
    bool (*startDispatcher)(const char* serviceName, ServiceMainRoutine routine);
    PlatformHandle (*registerHandler)(const char* serviceName, ServiceHandlerRoutine handler);
    bool (*setStatus)(PlatformHandle statusHandle, const ServiceStatusRecord* status);
    // Applies the settings to a service just created; false with the last error set.
    bool (*configure)(PlatformHandle service, const ServiceSettings* settings);
    // Called on the service's worker thread once the JVM exists, just before the
    // application's main runs: a manager that waits for the application itself (systemd's
    // notify services) learns here that the service is up. Windows learnt it from the
    // running status already.
    void (*ready)(PlatformHandle statusHandle);
    // Settings of a created service; false with the last error set. `dependencies` holds
    // names each ended by '\0' with one more '\0' after the last, `account` an account name
    // (no password is ever given); null leaves either unchanged.
    bool (*changeConfig)(PlatformHandle service, const char* dependencies, const char* account);
    // Restarts after each of the first `restartCount` failures, `restartDelayMs` after it,
    // then none; the count starts again after `resetSeconds` without failure. A failure is
    // a crash or a stop reported with a non-zero exit code.
    bool (*setFailureActions)(PlatformHandle service, uint32_t resetSeconds, uint32_t restartDelayMs,
                              uint32_t restartCount);
    bool (*setDelayedStart)(PlatformHandle service, bool delayed);
    // systemd: whether the user (and the group) of "user" or "user:group" exist; false with
    // the last error set (InvalidAccount when either does not).
    bool (*findAccount)(const char* account);
};

struct EventLogOps {
    PlatformHandle (*registerSource)(const char* sourceName);
    bool (*report)(PlatformHandle source, uint16_t eventType, uint32_t eventId, const char* text);
    bool (*deregisterSource)(PlatformHandle source);
};

// Threads, events, locks and sleep.
struct ThreadOps {
    // A thread runs detached (nothing waits for one), so starting it gives no handle: false
    // with the last error set when it could not be started.
    bool (*create)(ThreadRoutine routine, void* parameter);
    PlatformEvent (*createEvent)();  // auto-reset, not signalled
    bool (*setEvent)(PlatformEvent event);
    void (*waitForEvent)(PlatformEvent event);  // no time limit
    bool (*closeEvent)(PlatformEvent event);
    void (*sleepMs)(uint32_t milliseconds);
    // A lock that is never unmade: made once, before any thread that takes it starts.
    void (*initLock)(PlatformLock* lock);
    void (*acquireLock)(PlatformLock* lock);
    void (*releaseLock)(PlatformLock* lock);
};

// Standard streams and consoles.
struct ConsoleOps {
    // Writes one whole line (text and line end) to stdout or stderr.
    void (*writeLine)(bool toError, const char* text);
    // A service run in the console: a console of its own and the Ctrl+C handler.
    bool (*alloc)();
    bool (*setCtrlHandler)(ConsoleHandlerRoutine handler);
    // Points the C runtime's stdout and stderr at the console; false when not possible.
    bool (*reopenStdStreams)();
    // True when the system gave the process a console of its own kind: a console-subsystem
    // executable (POSIX: always). A windowed one starts without one.
    bool (*startedWith)();
    // A windowed process: attaches to the console of the process that started it and points
    // the standard streams that lead nowhere at it. False when there is no such console.
    bool (*attachParent)();
};

struct DesktopOps {
    // Shows a message box and returns the answer, 0 when none could be shown (POSIX: never).
    int (*showMessageBox)(const char* title, const char* text, uint32_t style);
    // Opens a web page with the user's default browser.
    bool (*openUrl)(const char* url);
};

// What the system is, as data: its rules and where its runtimes live.
struct PlatformTraits {
    PathStyle pathStyle;
    const char* consoleDeviceName;  // "CONOUT$" on Windows; null where there are no consoles
    // Whether the event log finds a source's message texts through a registry entry that
    // installation writes (Windows); elsewhere there is nothing to register.
    bool eventSourcesInRegistry;
    // The service manager is systemd: `ServiceAccount` names a system user ("user" or
    // "user:group", which ServiceSettings::account carries), and a failed service operation
    // ends with a small exit code, since exit statuses stop at 255 (Windows: the error).
    bool systemdServices;
    // The folder whose subfolders are the system's installed runtimes, or null.
    const char* standardRuntimeFolder;
    // Whether the system has a registry of installed runtimes to search (Windows).
    bool hasRegistry;
    // What libraries this build can load: their file format and machine code (a PE
    // header's Machine field, an ELF header's e_machine).
    ModuleFormat moduleFormat;
    uint16_t moduleMachine;
};

// The table, one group per concept; every backend fills each slot by name.
struct PlatformOps {
    FileOps files;
    ErrorOps errors;
    ProcessOps process;
    LibraryOps library;
    RegistryOps registry;
    ServiceOps services;
    EventLogOps eventLog;
    ThreadOps threads;
    ConsoleOps console;
    DesktopOps desktop;
    const CacheFileOps* cacheFiles;
    const LogFileOps* logFiles;
    PlatformTraits traits;
};

extern PlatformOps Platform;
// The backend's defaults, for restoring after tests.
const PlatformOps& defaultPlatformOps();
