// What the service manager learns of each way a service ends (status sequence, exit codes,
// event log), the settings -install hands it, and the console run; scripted Java steps
// stand in for the JVM.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "fakes/fake_platform.h"
#include "fakes/fake_service.h"
#include "core/config.h"
#include "core/state.h"
#include "invoke/jni_utils.h"
#include "launcher/dispatch.h"
#include "service/exit_codes.h"
#include "service/runtime.h"

namespace {

enum Ends { ByItself, CreateFails, MainFails, StopByMain, StopByExit, StopTimesOut, ExitsWithFailure, StopMeetsEnd };
std::atomic<int> mode;
std::atomic<bool> stopped, released;
FakeServiceManager* scm;
ConsoleHandlerRoutine consoleHandler;

void exitHook(jint code) { reinterpret_cast<void(JNICALL*)(jint)>(State.JvmExitHook)(code); }
void waitUntil(const std::atomic<bool>& flag) {
    while (!flag && !released) std::this_thread::yield();
}
bool create(bool) { return mode != CreateFails; }
bool invoke(int, char**, bool attach) {
    JavaVM* jvm;
    JNIEnv* env;  // at StopMeetsEnd the real attach finds the JVM gone
    if (attach) return (stopped = true) && (mode != StopMeetsEnd || attachStopperThread(&jvm, &env));
    if (consoleHandler) consoleHandler(0);  // Ctrl+C in a console run
    if (mode == ExitsWithFailure) exitHook(3);
    if (mode == StopByMain || mode == StopByExit) waitUntil(stopped);
    if (mode == StopTimesOut) waitUntil(released);
    return mode != MainFails;
}
void destroy() {
    if (mode != StopMeetsEnd) return;
    scm->sendControl(kServiceControlStop);  // once the application has ended by itself
    waitUntil(stopped);
}
bool exitStep() {
    exitHook(0);  // inside System.exit(0)
    return stopped = true;
}
bool captureHandler(ConsoleHandlerRoutine handler) { return (consoleHandler = handler) != nullptr; }

struct Row {
    int ends;
    std::vector<uint32_t> states;
    uint32_t specificCode;
    std::vector<unsigned> messages;
};
void PrintTo(const Row& row, std::ostream* os) { *os << row.ends; }

struct ServiceEnds : ::testing::TestWithParam<Row> {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    FakeServiceManager fake;
    void SetUp() override {
        loadDefaultStrings(w);
        w.strings[1248] = "Demo";
        w.strings[1856] = "5";
        scm = &fake;
        consoleHandler = nullptr;
        stopped = released = false;
        ServiceJava = ServiceJavaSteps{create, invoke, destroy, exitStep};
    }
    void TearDown() override {
        released = true;
        fake.releaseTimeouts();
        EXPECT_TRUE(fake.waitForThreads());
        ServiceJava = defaultServiceJavaSteps();
    }
    int launch(const char* argument, int ends) {
        mode = ends;
        loadConfiguration();
        char program[] = "varnlet.exe";
        std::string a = argument;
        char* argv[] = {program, &a[0]};
        return launcherMain(2, argv);
    }
    std::vector<std::string> texts(const std::vector<unsigned>& ids) {
        std::vector<std::string> lines;
        for (unsigned id : ids) lines.push_back(std::string(message(id)).replace(4, 2, "Demo"));
        return lines;
    }
};

const uint32_t R = kServiceRunning, P = kServiceStopPending, S = kServiceStopped;
const unsigned Go = MsgServiceStarted, Ok = MsgServiceStopped, Bad = MsgServiceFailed, Late = MsgServiceTimeout;
const Row kRows[] = {
    {ByItself, {R, S}, 0, {Go, Ok}},
    {CreateFails, {R, S}, kServiceExitJvmFailed, {Go, Bad}},
    {MainFails, {R, S}, kServiceExitAppFailed, {Go, Bad}},
    {StopByMain, {R, P, S}, 0, {Go, Ok}},
    {StopByExit, {R, P, S}, 0, {Go, Ok}},
    {StopTimesOut, {R, P, S}, kServiceExitStopTimeout, {Go, Late, Ok}},
    {ExitsWithFailure, {R, S}, kServiceExitAppFailed, {Go, Bad}},
    {StopMeetsEnd, {R, P, S}, 0, {Go, Ok}},
};

TEST_P(ServiceEnds, StatusSequenceExitCodesAndEvents) {
    const Row& row = GetParam();
    w.strings[1312] = row.ends == StopByExit ? "1" : "0";
    if (row.ends == StopByMain || row.ends == StopByExit || row.ends == StopTimesOut)
        fake.sendControl(kServiceControlStop);
    std::thread timeouts([this, &row] {
        if (row.ends != StopTimesOut || !fake.waitForTimeoutSleeps(1)) return;
        waitUntil(stopped);  // the stop call has been made, and ignored
        fake.releaseTimeouts();
    });
    launch("-startlauncherinservicemode", row.ends);
    timeouts.join();
    std::vector<uint32_t> states;
    for (const ServiceStatusRecord& r : fake.statuses) states.push_back(r.dwCurrentState);
    EXPECT_EQ(states, row.states);
    EXPECT_EQ(fake.statuses.back().dwWin32ExitCode, row.specificCode ? uint32_t{kErrorServiceSpecificError} : 0u);
    EXPECT_EQ(fake.statuses.back().dwServiceSpecificExitCode, row.specificCode);
    EXPECT_EQ(fake.statuses[1].dwWaitHint, states.size() == 3 ? 15000u : 0u);  // 5 s time-out + 10 s
    EXPECT_EQ(fake.eventTexts(), texts(row.messages));
}
INSTANTIATE_TEST_SUITE_P(Table, ServiceEnds, ::testing::ValuesIn(kRows));

TEST_F(ServiceEnds, InstallHandsOverTheSettingsAndNothingByDefault) {
    launch("-install", ByItself);
    EXPECT_TRUE(fake.services.count("Demo") && fake.settings["Demo"].empty());
    fake.services.clear();
    for (auto entry : {std::make_pair(1760u, "60"), {1776u, "2"}, {1792u, "3600"}, {1808u, "1"},
                       {1824u, "Tcpip; ;EventLog"}, {1840u, "localservice"}})
        w.strings[entry.first] = entry.second;
    launch("-install", ByItself);
    EXPECT_EQ(fake.settings["Demo"], (std::vector<std::string>{
        "dependencies=Tcpip|EventLog| account=NT AUTHORITY\\LocalService", "delayed=1", "restart=3600,60000,2"}));
}

TEST_F(ServiceEnds, ConsoleSwitchRunsTheServiceUntilCtrlC) {
    w.strings[1872] = "-console";
    Platform.setConsoleCtrlHandler = captureHandler;
    EXPECT_EQ(launch("-console", StopByMain), 0);
    std::vector<std::string> lines;
    for (const ConsoleLine& l : w.console) lines.push_back(l.text);
    EXPECT_EQ(lines, texts({Go, Ok}));
    EXPECT_TRUE(stopped && fake.statuses.empty() && fake.events.empty());
}

}  // namespace
