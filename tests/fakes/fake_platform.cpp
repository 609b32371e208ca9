// Recording fakes of the platform table (directories, errors, strings, profiles, reporting).
#include "fakes/fake_platform.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

#include "platform/win32/backend.h"

#include "core/config.h"
#include "core/writable_config.h"
#include "core/state.h"

static FakeWorld* theWorld;

static FakeWorld& fakeWorld() { return *theWorld; }

FakeWorld& FakePlatform::world() { return *theWorld; }

namespace {

// Copies as much of `text` as fits with its terminator; returns the characters copied.
uint32_t copyOut(const std::string& text, char* buffer, size_t size) {
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<uint32_t>(n);
}

// The Win32 contracts: a buffer too small gets the size needed (current directory) or a
// cut text and the full size (module path).
uint32_t fakeGetCurrentDirectory(char* buffer, uint32_t size) {
    FakeWorld& w = fakeWorld();
    if (w.currentDirectoryError) {
        w.lastError = {ErrorKind::Other, w.currentDirectoryError};
        return 0;
    }
    if (w.currentDirectory.size() + 1 > size) return static_cast<uint32_t>(w.currentDirectory.size() + 1);
    return copyOut(w.currentDirectory, buffer, size);
}

uint32_t fakeGetModulePath(char* buffer, uint32_t size) {
    uint32_t n = copyOut(fakeWorld().modulePath, buffer, size);
    return fakeWorld().modulePath.size() >= size ? size : n;
}

bool fakeSetCurrentDirectory(const char* path) {
    FakeWorld& w = fakeWorld();
    w.directoryChanges.push_back(path);
    if (!w.enterableDirectories.count(path)) w.lastError = {ErrorKind::NotFound, 2};
    else w.currentDirectory = path;
    return w.enterableDirectories.count(path) != 0;
}

uint32_t fakeReadProfileString(const char* section, const char* key, const char* defaultText, char* buffer,
                               uint32_t size, const char* file) {
    auto f = fakeWorld().profiles.find(file);
    bool found = f != fakeWorld().profiles.end() && strcmp(section, "Application Configuration") == 0 &&
                 f->second.count(key);
    return copyOut(found ? f->second[key] : defaultText, buffer, size);
}

// Every entry's default text in the fake string table, as a launcher built without changes has.
void loadDefaultStrings(FakeWorld& world) {
    for (size_t i = 0; i < kEntryCount; ++i) world.strings[kEntries[i].id] = kEntries[i].defaultText;
}

}  // namespace

SystemError win32ErrorOfKind(ErrorKind kind) {
    static const std::map<ErrorKind, uint32_t> codes{{ErrorKind::ServiceExists, 1073}, {ErrorKind::ServiceMissing, 1060},
                                                     {ErrorKind::InvalidAccount, 1057}, {ErrorKind::NameTooLong, 206},
                                                     {ErrorKind::NotFound, 2}, {ErrorKind::AccessDenied, 5},
                                                     {ErrorKind::ServiceStopTimedOut, 1053}, {ErrorKind::ServiceMarkedForDelete, 1072}};
    return SystemError{kind, codes.count(kind) ? codes.at(kind) : 31u};
}

FakePlatform::FakePlatform(bool windowsStyle) {
    theWorld = new FakeWorld;
    Platform = defaultPlatformOps();
    Platform.files.currentDirectory = fakeGetCurrentDirectory;
    Platform.files.modulePath = fakeGetModulePath;
    Platform.files.setCurrentDirectory = fakeSetCurrentDirectory;
    Platform.errors.last = [] { return fakeWorld().lastError; };
    Platform.errors.set = [](SystemError e) { fakeWorld().lastError = e; };
    Platform.errors.ofKind = win32ErrorOfKind;
    Platform.errors.text = [](SystemError e, char* buffer, size_t size) {
        return !fakeWorld().codesWithoutText.count(e.code) && snprintf(buffer, size, "System text %u.\r\n", e.code) > 0;
    };
    Platform.process.loadString = [](unsigned id, char* buffer, int size) {
        auto it = fakeWorld().strings.find(id);
        return it == fakeWorld().strings.end() ? 0 : static_cast<int>(copyOut(it->second, buffer, static_cast<size_t>(size)));
    };
    Platform.files.readProfileString = fakeReadProfileString;
    Platform.files.canOpenForReading = [](const char* path) { return fakeWorld().readableFiles.count(path) != 0; };
    Platform.console.writeLine = [](bool toError, const char* text) { fakeWorld().console.push_back({toError, text}); };
    Platform.process.environment = [](const char* name) -> const char* {
        auto it = fakeWorld().environment.find(name);
        return it == fakeWorld().environment.end() ? nullptr : it->second.c_str();
    };
    Platform.traits.standardRuntimeFolder = nullptr;  // not the machine's own runtimes
    Platform.traits.pathStyle = windowsStyle ? PathStyle{'\\', ';', true} : PathStyle{'/', ':', false};
    // No real service manager: settings and readiness go nowhere, the service fakes take the rest.
    Platform.services.configure = [](const ServiceDefinition*) { return true; };
    Platform.services.ready = [] {};
    Platform.eventLog.report = [](PlatformHandle, bool, const char*) { return true; };
    loadDefaultStrings(fakeWorld());
    resetLauncherRecords();
}

FakePlatform::~FakePlatform() {
    Platform = defaultPlatformOps();
    resetLauncherRecords();
    delete theWorld;
    theWorld = nullptr;
}

void resetLauncherRecords() {
    // The records' texts are leaked on purpose: the launcher never frees them either.
    memset(static_cast<void*>(&writableConfig()), 0, sizeof(LauncherConfig));
    memset(static_cast<void*>(&State), 0, sizeof State);
    State.RunMode = RunModeKind::Console;
}

void makeFile(const std::string& path, const std::string& content) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        mkdir(path.substr(0, at).c_str(), 0755);
    if (path.back() != '/') std::ofstream(path, std::ios::binary) << content;
}
