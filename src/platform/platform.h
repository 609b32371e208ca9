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

// The longest path the process meets, in bytes of its code page, with the terminator:
// Windows' ANSI calls take MAX_PATH UTF-16 units, up to three bytes each in UTF-8; Linux
// takes PATH_MAX bytes.
#ifdef _WIN32
constexpr unsigned kPlatformPathBytes = 260 * 3;
#else
constexpr unsigned kPlatformPathBytes = 4096;
#endif

// What is at a path, following links.
enum class FileKind : uint8_t {
    Missing,  // nothing there, or nothing the system would tell of: the last error says which
    File,  // anything but a directory
    Directory,
};

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

// Message boxes: what the box says and the answers it offers.
enum class BoxKind : uint8_t {
    Information,  // an OK button
    Error,  // an OK button
    ErrorQuestion,  // Yes and No; the answer is true for Yes
};

typedef uint32_t (*ThreadRoutine)(void* parameter);

// A service's state as its manager shows it.
enum class ServiceState : uint8_t { Stopped, Running, StopPending };

// What the manager asks of a running service.
enum class ServiceControl : uint8_t {
    Stop,
    Shutdown,  // the system is going down
    Other,  // anything else: the service tells its status again
};

// What a service tells its manager.
struct ServiceStatus {
    ServiceState state;
    uint32_t waitHintMs;  // StopPending: how long the stop may still take
    // Stopped: 0 for a clean end, else the service's own code for why it ended, which the
    // manager keeps (Windows: as the service-specific code; systemd: as the exit status).
    uint32_t exitCode;
};

typedef void (*ServiceMainRoutine)();
typedef void (*ServiceHandlerRoutine)(ServiceControl control);

// Settings a service manager may not have; each bit set in PlatformTraits::serviceSettings is
// one it keeps.
enum : uint32_t {
    kServiceSettingDelayedStart = 1,  // an automatic start after the other services
    kServiceSettingDependencies = 2,  // services started before this one
};

// What an install writes: the service, and what its manager keeps with it.
struct ServiceDefinition {
    const char* name;
    const char* program;  // the launcher's full path
    const char* argument;  // the one argument the manager starts it with
    bool automaticStart;  // else started by hand
    bool delayedStart;  // automatic, after the other services
    const char* description;  // may be empty
    // ServiceAccount as configured; empty for the system's own service account. Each manager
    // has its own forms (ServiceOps::checkAccount).
    const char* account;
    // Names each ended by '\0' with one more '\0' after the last; empty ("") for none.
    const char* dependencies;
    uint32_t restartDelaySeconds;  // 0: not restarted after a failure
    uint32_t restartCount;  // with a delay: restarts before giving up (0: none)
    uint32_t restartResetSeconds;  // ... counted within this period (0: no period given)
    uint32_t stopTimeoutSeconds;  // how long the service's own stop may take
};

// A console event, as each system delivers it. What the launcher decides on: every one asks
// for the stop, and after Close, Logoff and Shutdown the system ends the process once the
// handler returns.
enum class ConsoleEvent : uint8_t { Interrupt, Break, Close, Logoff, Shutdown };
// True when the event was handled, so that no other handler (the default one: ending the
// process) sees it.
typedef bool (*ConsoleHandlerRoutine)(ConsoleEvent event);

// A Java runtime the system keeps a record of, as its installer left it.
enum class RuntimeKind : uint8_t { Runtime, DevelopmentKit };
struct InstalledRuntime {
    const char* place;  // where the record is, for the trace
    RuntimeKind kind;
    // The version the installer named it by ("1.8", "17"), or, when `vendorName`, a vendor's
    // name for it ("zulu-17", "21.0.1.12").
    const char* version;
    bool vendorName;
    // False when the record lies beyond the system's limits and nothing of it was read.
    bool readable;
    // Its homes to try in turn (a vendor's runtime may hold one per virtual machine), each
    // without a trailing separator; a record with a library has exactly one, maybe empty.
    const char* const* homes;
    size_t homeCount;
    const char* library;  // the JVM library the installer named, or null
};
// Called for each record in turn; true stops the walk.
struct RuntimeVisitor {
    void* context;
    void (*looking)(void* context, const char* place);  // a place of records is searched next
    bool (*visit)(void* context, const InstalledRuntime& runtime);
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
    FileKind (*kind)(const char* path);
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

// The runtimes the system keeps records of: Windows' installers write them into the registry
// (read in this process's own view); the runtimes of Linux packages have no such records and
// are found in PlatformTraits::standardRuntimeFolder instead.
struct RuntimeOps {
    // Walks the records of the runtimes of the kinds given, in their order (each kind's older
    // records before its newer ones, as the system keeps them), until the visitor stops it:
    // true then. Records that cannot be read are passed over.
    bool (*installed)(const RuntimeKind* kinds, size_t kindCount, const RuntimeVisitor* visitor);
};

// The service manager, by service name. Every call that fails returns false with the last
// error set; a failed service operation's exit code follows from that error (exitCode).
struct ServiceOps {
    // Whether the service is installed, asked with the right to install services (so an
    // account without it learns nothing): false with ServiceMissing when it is not.
    bool (*find)(const char* name);
    // Whether the manager can run the service as `account` (ServiceDefinition::account): false
    // with InvalidAccount when it cannot, nothing changed.
    bool (*checkAccount)(const char* account, const char* serviceName);
    // Creates the service as its manager first holds it; nothing is left when this fails.
    bool (*create)(const ServiceDefinition* definition);
    // Applies what the manager keeps beside the service it created (a manager that takes
    // everything at creation has nothing left to do).
    bool (*configure)(const ServiceDefinition* definition);
    // Deletes the service. Windows' manager only marks it: it goes once it has stopped and
    // its last handle is closed (find tells when).
    bool (*remove)(const char* name);
    // The service's state, asked with the rights to stop and remove it.
    bool (*state)(const char* name, ServiceState* state);
    // Asks the service to stop (systemd returns once it has stopped).
    bool (*stop)(const char* name);
    // The exit code of a service operation (-install, -uninstall) that failed with `error`;
    // never 0.
    int (*exitCode)(SystemError error);

    // Running as a service: runs `routine` as the service's main routine and returns once it
    // has ended; false when the process was not started by the manager.
    bool (*run)(const char* name, ServiceMainRoutine routine);
    // From the main routine: the handler of the manager's controls.
    bool (*registerHandler)(const char* name, ServiceHandlerRoutine handler);
    bool (*setStatus)(const ServiceStatus* status);
    // Called on the service's worker thread once the JVM exists, just before the
    // application's main runs: a manager that waits for the application itself (systemd's
    // notify services) learns here that the service is up. Windows learnt it from the
    // running status already.
    void (*ready)();
};

// The system's log of events, where a service reports.
struct EventLogOps {
    PlatformHandle (*registerSource)(const char* sourceName);
    bool (*report)(PlatformHandle source, bool error, const char* text);
    bool (*deregisterSource)(PlatformHandle source);
    // At install: makes `messageFile` (the launcher) the source of the events `sourceName`
    // reports, so the system shows their text; true where the system needs nothing for it.
    bool (*addSource)(const char* sourceName, const char* messageFile);
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
    // A service run in the console: a console of its own and the handler of its events
    // (Ctrl+C, a closed console; on POSIX SIGINT and SIGTERM).
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
    // Shows a message box; true when it was shown and, for a question, answered Yes
    // (POSIX: never shown).
    bool (*showMessageBox)(const char* title, const char* text, BoxKind kind);
    // Opens a web page with the user's default browser.
    bool (*openUrl)(const char* url);
};

// What the system is, as data: its rules and where its runtimes live.
struct PlatformTraits {
    PathStyle pathStyle;
    const char* consoleDeviceName;  // "CONOUT$" on Windows; null where there are no consoles
    // The settings (kServiceSetting...) the service manager keeps; a configured one it does
    // not keep is refused at install.
    uint32_t serviceSettings;
    // The folder whose subfolders are the system's installed runtimes, or null.
    const char* standardRuntimeFolder;
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
    RuntimeOps runtimes;
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
