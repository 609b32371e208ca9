// Recording fakes of the platform table (directories, errors, strings, profiles, reporting).
#include "fakes/fake_platform.h"

#include <cstdio>
#include <cstring>

#include "core/config.h"
#include "core/state.h"

static FakeWorld* theWorld;

FakeWorld& fakeWorld() { return *theWorld; }

namespace {

uint32_t fakeGetCurrentDirectory(char* buffer, uint32_t size) {
    FakeWorld& w = fakeWorld();
    if (w.currentDirectoryError) {
        w.lastError = w.currentDirectoryError;
        return 0;
    }
    if (w.currentDirectory.size() + 1 > size) return static_cast<uint32_t>(w.currentDirectory.size() + 1);
    memcpy(buffer, w.currentDirectory.c_str(), w.currentDirectory.size() + 1);
    return static_cast<uint32_t>(w.currentDirectory.size());
}

uint32_t fakeGetModulePath(char* buffer, uint32_t size) {
    FakeWorld& w = fakeWorld();
    if (w.modulePathError) {
        w.lastError = w.modulePathError;
        return 0;
    }
    if (size == 0) return 0;
    size_t n = w.modulePath.size() < size ? w.modulePath.size() : size - 1;
    memcpy(buffer, w.modulePath.data(), n);
    buffer[n] = '\0';
    return w.modulePath.size() >= size ? size : static_cast<uint32_t>(n);
}

bool fakeSetCurrentDirectory(const char* path) {
    FakeWorld& w = fakeWorld();
    w.directoryChanges.push_back(path);
    if (!w.enterableDirectories.count(path)) {
        w.lastError = kErrorFileNotFound;
        return false;
    }
    w.currentDirectory = path;
    return true;
}

uint32_t fakeGetLastError() { return fakeWorld().lastError; }
void fakeSetLastError(uint32_t code) { fakeWorld().lastError = code; }

bool fakeFormatSystemMessage(uint32_t code, char* buffer, size_t size) {
    if (fakeWorld().codesWithoutText.count(code)) return false;
    snprintf(buffer, size, "System text %u.\r\n", code);
    return true;
}

int fakeLoadString(unsigned id, char* buffer, int size) {
    auto it = fakeWorld().strings.find(id);
    if (it == fakeWorld().strings.end() || it->second.empty()) return 0;
    size_t n = it->second.size() < static_cast<size_t>(size - 1) ? it->second.size() : static_cast<size_t>(size - 1);
    memcpy(buffer, it->second.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

uint32_t fakeReadProfileString(const char* section, const char* key, const char* defaultText, char* buffer,
                               uint32_t size, const char* file) {
    FakeWorld& w = fakeWorld();
    w.profileCalls.push_back(ProfileCall{section, key, file});
    std::string value = defaultText;
    auto f = w.profiles.find(file);
    if (f != w.profiles.end() && strcmp(section, "Application Configuration") == 0) {
        auto k = f->second.find(key);
        if (k != f->second.end()) value = k->second;
    }
    size_t n = value.size() < size - 1 ? value.size() : size - 1;
    memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return static_cast<uint32_t>(n);
}

bool fakeCanOpenForReading(const char* path) { return fakeWorld().readableFiles.count(path) != 0; }

bool fakeReportEvent(PlatformHandle source, uint16_t type, uint32_t id, const char* text) {
    fakeWorld().events.push_back(EventRecord{source, type, id, text});
    return true;
}

void fakeWriteConsoleLine(bool toError, const char* text) { fakeWorld().console.push_back(ConsoleLine{toError, text}); }

const char* fakeGetEnvironment(const char* name) {
    auto it = fakeWorld().environment.find(name);
    return it == fakeWorld().environment.end() ? nullptr : it->second.c_str();
}

}  // namespace

FakePlatform::FakePlatform(bool windowsStyle) {
    theWorld = new FakeWorld;
    Platform = defaultPlatformOps();
    Platform.getCurrentDirectory = fakeGetCurrentDirectory;
    Platform.getModulePath = fakeGetModulePath;
    Platform.setCurrentDirectory = fakeSetCurrentDirectory;
    Platform.getLastError = fakeGetLastError;
    Platform.setLastError = fakeSetLastError;
    Platform.formatSystemMessage = fakeFormatSystemMessage;
    Platform.loadString = fakeLoadString;
    Platform.readProfileString = fakeReadProfileString;
    Platform.canOpenForReading = fakeCanOpenForReading;
    Platform.reportEvent = fakeReportEvent;
    Platform.writeConsoleLine = fakeWriteConsoleLine;
    Platform.getEnvironment = fakeGetEnvironment;
    Platform.standardRuntimeFolder = nullptr;  // not the machine's own runtimes
    Platform.pathStyle = windowsStyle ? PathStyle{'\\', ';', true} : PathStyle{'/', ':', false};
    // No real service manager: settings and readiness go nowhere, the registry fakes take the rest.
    Platform.configureService = [](PlatformHandle, const ServiceSettings*) { return true; };
    Platform.serviceReady = [](PlatformHandle) {};
    Platform.eventSourcesInRegistry = true;
    resetLauncherRecords();
}

FakePlatform::~FakePlatform() {
    Platform = defaultPlatformOps();
    resetLauncherRecords();
    delete theWorld;
    theWorld = nullptr;
}

void loadDefaultStrings(FakeWorld& world) {
    for (size_t i = 0; i < kEntryCount; ++i) world.strings[kEntries[i].id] = kEntries[i].defaultText;
}

void resetLauncherRecords() {
    // The records' texts are leaked on purpose: the launcher never frees them either.
    memset(static_cast<void*>(&Config), 0, sizeof Config);
    memset(static_cast<void*>(&State), 0, sizeof State);
    State.RunMode = RunModeKind::Console;
}
