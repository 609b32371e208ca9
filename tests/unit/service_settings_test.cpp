// The service settings as the service manager receives them at -install, and the console
// run of the service stopped by Ctrl+C.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "fakes/fake_platform.h"
#include "fakes/fake_service.h"
#include "core/config.h"
#include "launcher/dispatch.h"
#include "service/runtime.h"

namespace {

struct ServiceSettings : ::testing::Test {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    FakeServiceManager scm;

    void SetUp() override {
        loadDefaultStrings(w);
        w.strings[1248] = "Demo";
    }
    int run(const char* argument) {
        loadConfiguration();
        char program[] = "varnlet.exe";
        std::string a = argument;
        char* argv[] = {program, &a[0]};
        return launcherMain(2, argv);
    }
};

TEST_F(ServiceSettings, InstallWritesEachSettingAndNothingByDefault) {
    run("-install");
    ASSERT_TRUE(scm.services.count("Demo"));
    const FakeServiceSettings& plain = scm.settings["Demo"];
    EXPECT_EQ(plain.dependencies + plain.account, "");
    EXPECT_FALSE(plain.delayedStart);
    EXPECT_TRUE(plain.failureActions.empty());
    scm.services.clear();
    scm.settings.clear();

    w.strings[1760] = "60";
    w.strings[1776] = "2";
    w.strings[1792] = "3600";
    w.strings[1808] = "1";
    w.strings[1824] = "Tcpip; ;EventLog";
    w.strings[1840] = "localservice";
    run("-install");
    const FakeServiceSettings& set = scm.settings.at("Demo");
    EXPECT_EQ(set.dependencies, std::string("Tcpip\0EventLog\0\0", 16));
    EXPECT_EQ(set.account, "NT AUTHORITY\\LocalService");
    EXPECT_TRUE(set.delayedStart);
    EXPECT_EQ(set.failureActions, (std::vector<uint32_t>{3600, 60000, 2}));
    EXPECT_EQ(w.console.back().text, "Service installed: Demo");
}

TEST_F(ServiceSettings, AccountNeedingAPasswordCreatesNothing) {
    w.strings[1840] = "NT SERVICE\\Other";
    run("-install");
    EXPECT_TRUE(scm.services.empty());
    ASSERT_FALSE(w.console.empty());
    EXPECT_TRUE(w.console.back().toError);
}

ConsoleHandlerRoutine consoleHandler;
bool captureHandler(ConsoleHandlerRoutine handler) {
    consoleHandler = handler;
    return true;
}
std::vector<std::string> calls;
bool created(bool) { return true; }
std::atomic<bool> stopCalled;
bool invoked(int count, char** vector, bool attach) {
    calls.push_back(std::string(attach ? "stop " : "start ") + (count ? vector[0] : ""));
    if (attach) stopCalled = true;
    if (attach) return true;
    consoleHandler(0);  // Ctrl+C while the application runs, which ends once asked to
    while (!stopCalled) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}
void destroyed() {}
bool exited() { return true; }

TEST_F(ServiceSettings, ConsoleSwitchRunsTheServiceUntilCtrlC) {
    w.strings[1872] = "-console";
    w.strings[1280] = "begin";
    w.strings[1296] = "end";
    Platform.setConsoleCtrlHandler = captureHandler;
    ServiceJava = ServiceJavaSteps{created, invoked, destroyed, exited};
    calls.clear();
    stopCalled = false;
    int code = run("-console");
    scm.releaseTimeouts();
    ASSERT_TRUE(scm.waitForThreads());
    ServiceJava = defaultServiceJavaSteps();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"start begin", "stop end"}));
    std::vector<std::string> lines;
    for (const ConsoleLine& l : w.console) lines.push_back(l.text);
    EXPECT_EQ(lines, (std::vector<std::string>{"The Demo service has started.", "The Demo service has stopped."}));
    EXPECT_TRUE(scm.statuses.empty());
    EXPECT_TRUE(scm.events.empty());
}

}  // namespace
