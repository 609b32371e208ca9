// POSIX backend: systemd as the service manager. A service is the unit file
// <root>/etc/systemd/system/<name>.service; creating, configuring and deleting it write or
// remove that file and tell systemd through systemctl. The root is "/" unless
// VARNLET_SYSTEMD_ROOT names another (an image being prepared, or a test's directory).
// Away from "/", or where systemd is not running (a container's build step, a chroot),
// systemctl works on the files alone (--root) and no manager is reloaded.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <new>
#include <pwd.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>  // also environ, declared under _GNU_SOURCE (which g++ and clang set)

#include "platform/posix_backend.h"

namespace {

struct Unit {
    std::string name;  // with ".service"
    std::string path;
    std::string program;
    std::string arguments;  // one text, given to the program as a single argument when not empty
    bool autoStart;
    bool stopped;  // a stop has returned
};

int managerTag;  // the "manager" handle: systemd needs no connection of ours

std::string root() {
    const char* r = getenv("VARNLET_SYSTEMD_ROOT");
    return r && *r ? r : "/";
}
// systemd's own test for having been booted with it (sd_booted).
bool managerRunning() { return root() == "/" && access("/run/systemd/system/", F_OK) == 0; }

std::string unitDirectory() {
    std::string r = root();
    if (r.back() != '/') r += '/';
    return r + "etc/systemd/system";
}

// Letters, digits and ":_.-" (not first): what systemd takes as a plain unit name, so a
// name can neither leave the unit directory nor be read as a systemctl option.
bool validName(const char* name) {
    size_t n = strlen(name);
    if (n == 0 || n > 255 - strlen(".service") || name[0] == '-' || name[0] == '.') return false;
    for (const char* p = name; *p; ++p)
        if (!isalnum(static_cast<unsigned char>(*p)) && !strchr(":_.-", *p)) return false;
    return true;
}

// Runs systemctl (with --root away from "/") and waits for it; its own messages go to our
// streams. False with ServiceManagerFailed when it cannot run or fails.
bool systemctl(const char* command, const std::string& unit) {
    std::string rootOption = "--root=" + root();
    const char* argv[6];
    int n = 0;
    argv[n++] = "systemctl";
    if (!managerRunning()) argv[n++] = rootOption.c_str();
    argv[n++] = command;
    if (!unit.empty()) argv[n++] = unit.c_str();
    argv[n] = nullptr;
    pid_t pid;
    if (posix_spawnp(&pid, "systemctl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return posixFail(ErrorKind::ServiceManagerFailed);
    int status;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? true : posixFail(ErrorKind::ServiceManagerFailed);
}

bool reload() { return !managerRunning() || systemctl("daemon-reload", ""); }

// A unit file holds one setting per line and expands "%" everywhere: a path or argument with
// a control character cannot be written, and a description shows them as blanks.
bool writable(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}
std::string plain(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '%') out += '%';
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    }
    return out;
}
// One word of a command line: quoted, with systemd's escapes for '\\' and '"' and its
// doubling of "%" (specifiers). An argument doubles "$" too, which would name an
// environment variable there; the program's path is taken as it stands.
std::string word(const std::string& text, bool argument) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '%' || (c == '$' && argument)) out += c;
        out += c;
    }
    return out + "\"";
}

bool writeUnit(const Unit& unit, const ServiceSettings& settings, bool create) {
    std::string description = settings.description && *settings.description ? settings.description
                                                                            : unit.name.substr(0, unit.name.size() - 8);
    if (!writable(unit.program) || !writable(unit.arguments)) return posixFail(ErrorKind::InvalidServiceText);
    std::string directory = unit.program.substr(0, unit.program.rfind('/'));
    if (directory.empty()) directory = "/";
    std::string text = "[Unit]\nDescription=" + plain(description) + "\n";
    // systemd's start limit counts every start, an operator's restart as much as its own, so
    // a limit on failures would sooner or later refuse a restart asked for by hand: none.
    if (settings.restartDelaySeconds > 0) text += "StartLimitIntervalSec=0\n";
    // systemd runs no program whose path holds a quote or a backslash. Such a path goes to the
    // shell as an argument, which may hold anything, and the shell's exec puts the launcher in
    // its place: the same process, as a notify service needs.
    bool direct = unit.program.find_first_of("\"'\\") == std::string::npos;
    text += "\n[Service]\nType=notify\nExecStart=" +
            (direct ? word(unit.program, false)
                    : "/bin/sh -c \"exec \\\"$$0\\\" \\\"$$@\\\"\" " + word(unit.program, true)) +
            (unit.arguments.empty() ? "" : " " + word(unit.arguments, true)) +
            "\nWorkingDirectory=" + plain(directory) + "\n";
    std::string account = settings.account ? settings.account : "";
    if (!account.empty()) {
        size_t colon = account.find(':');
        text += "User=" + plain(account.substr(0, colon)) + "\n";
        if (colon != std::string::npos) text += "Group=" + plain(account.substr(colon + 1)) + "\n";
    }
    // Beyond the launcher's own time-out, so its message and exit status come first.
    text += "TimeoutStopSec=" + std::to_string(uint64_t{settings.stopTimeoutSeconds} + 10) + "\n";
    if (settings.restartDelaySeconds > 0)
        text += "Restart=on-failure\nRestartSec=" + std::to_string(settings.restartDelaySeconds) + "\n";
    text += "\n[Install]\nWantedBy=multi-user.target\n";

    // A new unit must not replace one that is there; a changed one replaces it whole.
    std::string target = create ? unit.path : unit.path + ".new";
    int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (create ? O_EXCL : O_TRUNC), 0644);
    if (fd < 0) return errno == EEXIST ? posixFail(ErrorKind::ServiceExists) : false;
    bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    int error = written ? 0 : errno ? errno : EIO;
    if (close(fd) != 0 && written) written = false, error = errno;
    if (written && !create && rename(target.c_str(), unit.path.c_str()) != 0) written = false, error = errno;
    if (!written) {
        unlink(target.c_str());
        errno = error;
        return false;
    }
    return true;
}

}  // namespace

PlatformHandle posixOpenScManager(uint32_t) {
    // Installing needs the right to write the unit directory: without it, the system's text.
    if (access(unitDirectory().c_str(), W_OK) != 0) return nullptr;
    return &managerTag;
}

PlatformHandle posixOpenService(PlatformHandle, const char* name, uint32_t) {
    if (!validName(name)) {
        posixFailUnitName();
        return nullptr;
    }
    Unit* unit = new (std::nothrow) Unit{std::string(name) + ".service", "", "", "", false, false};
    if (!unit) {
        errno = ENOMEM;
        return nullptr;
    }
    unit->path = unitDirectory() + "/" + unit->name;
    struct stat st;
    if (stat(unit->path.c_str(), &st) != 0) {
        SystemError error = errno == ENOENT ? posixErrorOfKind(ErrorKind::ServiceMissing) : posixGetLastError();
        delete unit;
        posixSetLastError(error);
        return nullptr;
    }
    return unit;
}

// binaryPath is the Windows command-line form the installer builds: the program in double
// quotes, then its arguments.
PlatformHandle posixCreateService(PlatformHandle, const char* name, const char* displayName, uint32_t, uint32_t,
                                  uint32_t startType, uint32_t, const char* binaryPath) {
    if (!validName(name)) {
        posixFailUnitName();
        return nullptr;
    }
    // A Linux path may hold a quote itself: the launcher's own path is taken whole.
    char self[kPlatformPathBytes];
    uint32_t n = posixGetModulePath(self, sizeof self);
    size_t length = n > 0 && n < sizeof self ? n : 0;
    bool own =
        length && binaryPath[0] == '"' && strncmp(binaryPath + 1, self, length) == 0 && binaryPath[length + 1] == '"';
    const char* close = own ? binaryPath + length + 1 : binaryPath[0] == '"' ? strchr(binaryPath + 1, '"') : nullptr;
    if (!close || binaryPath[1] != '/') {
        errno = EINVAL;
        return nullptr;
    }
    Unit* unit = new (std::nothrow) Unit{};
    if (!unit) {
        errno = ENOMEM;
        return nullptr;
    }
    unit->name = std::string(name) + ".service";
    unit->path = unitDirectory() + "/" + unit->name;
    unit->program.assign(binaryPath + 1, close);
    unit->arguments = close[1] == ' ' ? close + 2 : close + 1;
    unit->autoStart = startType == kServiceAutoStart;
    ServiceSettings defaults{displayName, 0, 30, 0, 0, nullptr};
    // Nothing stays of a unit that could not be made whole.
    bool written = writeUnit(*unit, defaults, true);
    if (!written || !reload() || (unit->autoStart && !systemctl("enable", unit->name))) {
        SystemError error = posixGetLastError();
        if (written) {
            if (unit->autoStart) systemctl("disable", unit->name);
            unlink(unit->path.c_str());
            reload();
        }
        delete unit;
        posixSetLastError(error);
        return nullptr;
    }
    // Without a running manager nothing has told systemd yet: whoever installs should know.
    if (!managerRunning())
        posixWriteConsoleLine(
            false, "The unit was written without a running systemd: it takes effect when systemd next starts.");
    return unit;
}

bool posixConfigureService(PlatformHandle service, const ServiceSettings* settings) {
    Unit* unit = static_cast<Unit*>(service);
    return writeUnit(*unit, *settings, false) && reload();
}

bool posixDeleteService(PlatformHandle service) {
    Unit* unit = static_cast<Unit*>(service);
    if (!systemctl("disable", unit->name)) return false;
    if (unlink(unit->path.c_str()) != 0) return false;
    return reload();
}

// Outside a running systemd a unit is only its file, and nothing of it runs. Under one it
// counts as running until a stop has returned: systemctl stop ends whatever state the unit
// is in, and returns at once for one that is not running.
bool posixQueryServiceStatus(PlatformHandle service, ServiceStatusRecord* status) {
    bool running = managerRunning() && !static_cast<Unit*>(service)->stopped;
    *status = ServiceStatusRecord{kServiceWin32OwnProcess, running ? kServiceRunning : kServiceStopped, 0, 0, 0, 0, 0};
    return true;
}

// systemctl stop returns once the unit has stopped: the unit's own time-out ends a stop
// that takes too long.
bool posixControlService(PlatformHandle service, uint32_t control) {
    Unit* unit = static_cast<Unit*>(service);
    if (control != kServiceControlStop) return posixFail(ErrorKind::Unsupported);
    unit->stopped = !managerRunning() || systemctl("stop", unit->name);
    return unit->stopped;
}

bool posixCloseServiceHandle(PlatformHandle handle) {
    if (handle != &managerTag) delete static_cast<Unit*>(handle);
    return true;
}
bool posixChangeServiceConfig(PlatformHandle, const char*, const char*) {
    errno = ENOTSUP;
    return false;
}
// Restarts are part of the unit file configureService wrote (Restart=, RestartSec=, the
// start limit): nothing is left to set.
bool posixSetServiceFailureActions(PlatformHandle, uint32_t, uint32_t, uint32_t) { return true; }
bool posixSetServiceDelayedStart(PlatformHandle, bool) {
    errno = ENOTSUP;
    return false;
}

namespace {
enum class NameLookup { Found, Missing, Failed /* errno set */ };

// Whether the user or group `name` exists.
NameLookup lookUp(const std::string& name, bool group) {
    std::string buffer(16384, '\0');
    for (;;) {
        struct passwd pw, *foundUser = nullptr;
        struct group gr, *foundGroup = nullptr;
        int rc = group ? getgrnam_r(name.c_str(), &gr, &buffer[0], buffer.size(), &foundGroup)
                       : getpwnam_r(name.c_str(), &pw, &buffer[0], buffer.size(), &foundUser);
        if (rc == ERANGE && buffer.size() < (1u << 24)) {
            buffer.resize(buffer.size() * 4);
            continue;
        }
        // Not found is 0 with no entry, or one of the codes some systems give for it.
        if (rc == 0 || rc == ENOENT || rc == ESRCH || rc == EBADF || rc == EPERM)
            return foundUser || foundGroup ? NameLookup::Found : NameLookup::Missing;
        errno = rc;
        return NameLookup::Failed;
    }
}
}  // namespace

bool posixFindServiceAccount(const char* account) {
    std::string text = account;
    size_t colon = text.find(':');
    std::string user = text.substr(0, colon);
    std::string group = colon == std::string::npos ? "" : text.substr(colon + 1);
    // An empty name is refused here, whatever a name service would make of it.
    if (user.empty() || (colon != std::string::npos && group.empty())) return posixFail(ErrorKind::InvalidAccount);
    NameLookup found = lookUp(user, false);
    if (found == NameLookup::Found && colon != std::string::npos) found = lookUp(group, true);
    return found == NameLookup::Found || (found == NameLookup::Missing && posixFail(ErrorKind::InvalidAccount));
}
