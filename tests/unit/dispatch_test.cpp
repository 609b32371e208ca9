// Command-line dispatch and the main sequence up to the JVM steps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "core/config.h"
#include "launcher/dispatch.h"
#include "core/state.h"

namespace {

// A minimal service manager: records which operations ran.
std::vector<std::string> scmCalls;
bool serviceExists;
int token;

PlatformHandle openManager(uint32_t) {
    scmCalls.push_back("openScManager");
    return &token;
}
PlatformHandle openService(PlatformHandle, const char*, uint32_t) {
    scmCalls.push_back("openService");
    if (serviceExists) return &token;
    fakeWorld().lastError = kErrorServiceDoesNotExist;
    return nullptr;
}
PlatformHandle createService(PlatformHandle, const char* name, const char*, uint32_t, uint32_t, uint32_t, uint32_t,
                             const char*) {
    scmCalls.push_back(std::string("createService ") + name);
    return &token;
}
bool deleteService(PlatformHandle) {
    scmCalls.push_back("deleteService");
    return true;
}
bool closeHandle(PlatformHandle) { return true; }
bool startDispatcher(const char* name, ServiceMainRoutine) {
    scmCalls.push_back(std::string("dispatcher ") + name);
    fakeWorld().lastError = kErrorFailedServiceControllerConnect;
    return false;
}
long regCreate(RegistryRoot, const char*, uint32_t, PlatformHandle* key) {
    *key = &token;
    return 0;
}
long regOpen(RegistryRoot, const char*, uint32_t, PlatformHandle* key) {
    *key = &token;
    return 0;
}
long regSet(PlatformHandle, const char*, uint32_t, const void*, uint32_t) { return 0; }
long regClose(PlatformHandle) { return 0; }
PlatformHandle registerSource(const char*) { return &token; }
bool deregisterSource(PlatformHandle) { return true; }

struct DispatchTest : ::testing::Test {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    void SetUp() override {
        scmCalls.clear();
        serviceExists = false;
        Platform.openScManager = openManager;
        Platform.openService = openService;
        Platform.createService = createService;
        Platform.deleteService = deleteService;
        Platform.closeServiceHandle = closeHandle;
        Platform.startServiceDispatcher = startDispatcher;
        Platform.regCreateKey = regCreate;
        Platform.regOpenKey = regOpen;
        Platform.regSetValue = regSet;
        Platform.regCloseKey = regClose;
        Platform.registerEventSource = registerSource;
        Platform.deregisterEventSource = deregisterSource;
        loadDefaultStrings(w);
        w.strings[1248] = "VarnletSvc";
    }
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), "C:\\apps\\demo\\varnlet.exe");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(&a[0]);
        return launcherMain(static_cast<int>(argv.size()), argv.data());
    }
    bool printed(const std::string& text, bool toError) {
        for (auto& line : w.console)
            if (line.text == text && line.toError == toError) return true;
        return false;
    }
};

TEST_F(DispatchTest, InstallWhenMissing) {
    EXPECT_EQ(run({"-install"}), 0);
    ASSERT_FALSE(scmCalls.empty());
    EXPECT_EQ(scmCalls.back(), "createService VarnletSvc");
    EXPECT_TRUE(printed("Service installed: VarnletSvc", false));
}

TEST_F(DispatchTest, InstallWhenPresentChangesNothing) {
    serviceExists = true;
    EXPECT_EQ(run({"-install"}), 0);
    for (auto& c : scmCalls) EXPECT_EQ(c.find("createService"), std::string::npos);
    EXPECT_TRUE(printed("Service is already installed: VarnletSvc", true));
}

TEST_F(DispatchTest, UninstallAndService) {
    serviceExists = true;
    EXPECT_EQ(run({"-uninstall"}), 0);
    ASSERT_FALSE(scmCalls.empty());
    EXPECT_EQ(scmCalls.back(), "deleteService");
    EXPECT_TRUE(printed("Service uninstalled: VarnletSvc", false));

    resetLauncherRecords();
    w.console.clear();
    EXPECT_EQ(run({"-startlauncherinservicemode"}), 0);
    ASSERT_FALSE(scmCalls.empty());
    EXPECT_EQ(scmCalls.back(), "dispatcher VarnletSvc");
    EXPECT_TRUE(w.console.empty());  // the dispatcher's failure goes to the event log only
    EXPECT_TRUE(State.RunMode == RunModeKind::Service);
}

TEST_F(DispatchTest, OnlyOneExactArgumentIsASwitch) {
    // Other letter case, a second argument, or no service name: ordinary arguments.
    for (auto args : std::vector<std::vector<std::string>>{{"-INSTALL"}, {"-install", "x"}, {"-install "}, {}}) {
        resetLauncherRecords();
        scmCalls.clear();
        EXPECT_EQ(run(args), -1);
        EXPECT_TRUE(scmCalls.empty());
    }
    w.strings[1248] = "";
    resetLauncherRecords();
    EXPECT_EQ(run({"-install"}), -1);
    EXPECT_TRUE(scmCalls.empty());
}

TEST_F(DispatchTest, FirstMatchingSwitchWins) {
    w.strings[1120] = "-install";  // uninstall switch with the install text
    w.strings[1136] = "-install";
    EXPECT_EQ(run({"-install"}), 0);
    ASSERT_FALSE(scmCalls.empty());
    EXPECT_EQ(scmCalls.back(), "createService VarnletSvc");
    w.strings[1104] = "-other";
    resetLauncherRecords();
    serviceExists = true;
    EXPECT_EQ(run({"-install"}), 0);
    ASSERT_FALSE(scmCalls.empty());
    EXPECT_EQ(scmCalls.back(), "deleteService");
}

TEST_F(DispatchTest, DirectoriesBeforeConfiguration) {
    w.currentDirectory = "C:\\start";
    run({"-uninstall"});
    EXPECT_STREQ(State.StartupDir, "C:\\start");
    ASSERT_FALSE(w.directoryChanges.empty());
    EXPECT_EQ(w.directoryChanges[0], "C:\\apps\\demo");
}

TEST_F(DispatchTest, UnreadableStartupDirectoryEndsWithZero) {
    w.currentDirectoryError = 5;
    EXPECT_EQ(run({"-uninstall"}), 0);
    EXPECT_TRUE(scmCalls.empty());
    ASSERT_EQ(w.console.size(), 2u);
    EXPECT_EQ(w.console[0].text, "System text 5.\r\n");
    EXPECT_EQ(w.console[1].text, "Error accessing file/directory: CURRENT_DIR");
    EXPECT_TRUE(w.directoryChanges.empty());
}

}  // namespace
