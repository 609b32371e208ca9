// POSIX backend: systemd as the service manager. A service is the unit file
// <root>/etc/systemd/system/<name>.service, written whole when it is created (systemd keeps
// nothing beside it) and removed again; systemctl tells systemd of either. The root is "/" unless
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
#include <pwd.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>  // also environ, declared under _GNU_SOURCE (which g++ and clang set)

#include "platform/posix/backend.h"

namespace {

// The unit whose stop has returned in this process.
std::string stoppedUnit;

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
std::string unitPath(const std::string& unit) { return unitDirectory() + "/" + unit; }

// Every operation needs the right to write the unit folder: without it, the system's text.
bool mayWriteUnits() { return access(unitDirectory().c_str(), W_OK) == 0; }

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

// The whole unit, in a file that must not exist yet.
bool writeUnit(const ServiceDefinition& service, const std::string& path) {
    std::string program = service.program, arguments = service.argument;
    std::string description = service.description[0] ? service.description : service.name;
    if (program[0] != '/') {
        errno = EINVAL;
        return false;
    }
    if (!writable(program) || !writable(arguments)) return posixFail(ErrorKind::InvalidServiceText);
    std::string directory = program.substr(0, program.rfind('/'));
    if (directory.empty()) directory = "/";
    std::string text = "[Unit]\nDescription=" + plain(description) + "\n";
    // systemd's start limit counts every start, an operator's restart as much as its own, so
    // a limit on failures would sooner or later refuse a restart asked for by hand: none.
    if (service.restartDelaySeconds > 0) text += "StartLimitIntervalSec=0\n";
    // systemd runs no program whose path holds a quote or a backslash. Such a path goes to the
    // shell as an argument, which may hold anything, and the shell's exec puts the launcher in
    // its place: the same process, as a notify service needs.
    bool direct = program.find_first_of("\"'\\") == std::string::npos;
    text += "\n[Service]\nType=notify\nExecStart=" +
            (direct ? word(program, false) : "/bin/sh -c \"exec \\\"$$0\\\" \\\"$$@\\\"\" " + word(program, true)) +
            (arguments.empty() ? "" : " " + word(arguments, true)) + "\nWorkingDirectory=" + plain(directory) + "\n";
    std::string account = service.account;
    if (!account.empty()) {
        size_t colon = account.find(':');
        text += "User=" + plain(account.substr(0, colon)) + "\n";
        if (colon != std::string::npos) text += "Group=" + plain(account.substr(colon + 1)) + "\n";
    }
    // Beyond the launcher's own time-out, so its message and exit status come first.
    text += "TimeoutStopSec=" + std::to_string(uint64_t{service.stopTimeoutSeconds} + 10) + "\n";
    if (service.restartDelaySeconds > 0)
        text += "Restart=on-failure\nRestartSec=" + std::to_string(service.restartDelaySeconds) + "\n";
    text += "\n[Install]\nWantedBy=multi-user.target\n";

    // A new unit must not replace one that is there.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_EXCL, 0644);
    if (fd < 0) return errno == EEXIST ? posixFail(ErrorKind::ServiceExists) : false;
    bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    int error = written ? 0 : errno ? errno : EIO;
    if (close(fd) != 0 && written) written = false, error = errno;
    if (!written) {
        unlink(path.c_str());
        errno = error;
        return false;
    }
    return true;
}

// The unit of a service that is installed; false with the last error set (ServiceMissing
// when there is none).
bool installedUnit(const char* name, std::string* unit) {
    if (!mayWriteUnits()) return false;
    if (!validName(name)) return posixFailUnitName();
    *unit = std::string(name) + ".service";
    struct stat st;
    if (stat(unitPath(*unit).c_str(), &st) == 0) return true;
    if (errno == ENOENT) posixSetLastError(posixErrorOfKind(ErrorKind::ServiceMissing));
    return false;
}

}  // namespace

bool posixFindService(const char* name) {
    std::string unit;
    return installedUnit(name, &unit);
}

bool posixCreateService(const ServiceDefinition* definition) {
    if (!mayWriteUnits()) return false;
    if (!validName(definition->name)) return posixFailUnitName();
    std::string unit = std::string(definition->name) + ".service", path = unitPath(unit);
    // Nothing stays of a unit that could not be made whole.
    bool written = writeUnit(*definition, path);
    if (!written || !reload() || (definition->automaticStart && !systemctl("enable", unit))) {
        SystemError error = posixGetLastError();
        if (written) {
            if (definition->automaticStart) systemctl("disable", unit);
            unlink(path.c_str());
            reload();
        }
        posixSetLastError(error);
        return false;
    }
    // Without a running manager nothing has told systemd yet: whoever installs should know.
    if (!managerRunning())
        posixWriteConsoleLine(
            false, "The unit was written without a running systemd: it takes effect when systemd next starts.");
    return true;
}

// The unit file holds every setting: nothing is left to change.
bool posixConfigureService(const ServiceDefinition*) { return true; }

bool posixRemoveService(const char* name) {
    std::string unit;
    if (!installedUnit(name, &unit) || !systemctl("disable", unit)) return false;
    if (unlink(unitPath(unit).c_str()) != 0) return false;
    return reload();
}

// Outside a running systemd a unit is only its file, and nothing of it runs. Under one it
// counts as running until a stop has returned: systemctl stop ends whatever state the unit
// is in, and returns at once for one that is not running.
bool posixServiceState(const char* name, ServiceState* state) {
    std::string unit;
    if (!installedUnit(name, &unit)) return false;
    *state = managerRunning() && unit != stoppedUnit ? ServiceState::Running : ServiceState::Stopped;
    return true;
}

// systemctl stop returns once the unit has stopped: the unit's own time-out ends a stop
// that takes too long.
bool posixStopService(const char* name) {
    std::string unit;
    if (!installedUnit(name, &unit)) return false;
    if (managerRunning() && !systemctl("stop", unit)) return false;
    stoppedUnit = unit;
    return true;
}

// Exit statuses stop at 255, so a failed operation ends with a small number of its own
// (the table of docs/GUIDE.md); the message tells the rest.
int posixServiceExitCode(SystemError error) {
    enum : int {
        kFailed = 1,  // any other failure
        kDenied = 2,  // no right to write the unit folder (also a read-only one)
        kExists = 3,  // -install: the unit is there already
        kMissing = 4,  // -uninstall: there is no such unit
        kRefused = 5,  // the service's settings cannot be a unit: name, account, path, setting
        kSystemctl = 6  // systemctl could not be run or failed
    };
    switch (error.kind) {
    case ErrorKind::AccessDenied: return kDenied;
    case ErrorKind::ServiceExists: return kExists;
    case ErrorKind::ServiceMissing: return kMissing;
    case ErrorKind::InvalidServiceText:
    case ErrorKind::InvalidAccount:
    case ErrorKind::Unsupported:
    case ErrorKind::NameTooLong: return kRefused;
    case ErrorKind::ServiceManagerFailed: return kSystemctl;
    default: return kFailed;
    }
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

// The account is a system user ("user") or a user and group ("user:group"), which must exist;
// empty runs the service as root.
bool posixCheckServiceAccount(const char* account, const char*) {
    std::string text = account;
    if (text.empty()) return true;
    size_t colon = text.find(':');
    std::string user = text.substr(0, colon);
    std::string group = colon == std::string::npos ? "" : text.substr(colon + 1);
    // An empty name is refused here, whatever a name service would make of it.
    if (user.empty() || (colon != std::string::npos && group.empty())) return posixFail(ErrorKind::InvalidAccount);
    NameLookup found = lookUp(user, false);
    if (found == NameLookup::Found && colon != std::string::npos) found = lookUp(group, true);
    return found == NameLookup::Found || (found == NameLookup::Missing && posixFail(ErrorKind::InvalidAccount));
}
