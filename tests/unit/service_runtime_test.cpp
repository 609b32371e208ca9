// Each way a service run ends, as the service manager and the event log see it: a table of
// scripted Java steps, controls and failing creations against the fake service manager, on
// real threads. Every row also checks that threads ending late report nothing more.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
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

enum SendAt { AtStart, InCreate, InMain, InDestroy };
enum Jvm { Made, Fails, None };  // None: the JVM must not even be asked for
enum Main { Returns, MainFails, Exits3, UntilStopped, IgnoresStop };
enum Inject { NoFailure, NoSource, NoEvent, NoWorker, NoStopper, NoTimeout };

struct Row {
    const char* name;
    SendAt sendAt;
    std::vector<uint32_t> controls;
    Jvm jvm;
    Main main;
    Inject inject;
    std::vector<uint32_t> states;
    uint32_t code;
    std::vector<std::string> events;  // "Go", "Ok", "Bad", "Late" or a system error number
    int stops;                        // -1: not checked (races with the service's end)
    bool byExit;
};
void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

const Row* row;
FakeServiceManager* scm;
ConsoleHandlerRoutine consoleHandler;
std::atomic<int> stops, creates, destroys, earlyStops;
std::atomic<bool> created, released;
std::mutex argsLock;
std::string mainArgs, stopArgs;

std::string joined(int count, char** vector) {
    std::string s;
    for (int i = 0; i < count; ++i) s += (i ? "|" : "") + std::string(vector[i]);
    return s;
}
void waitUntil(const std::function<bool()>& done) {
    while (!done() && !released) std::this_thread::yield();
}
void sendControls() {
    for (uint32_t control : row->controls) consoleHandler ? (void)consoleHandler(0) : scm->sendControl(control);  // Ctrl+C
}
long stopControls() { return row->controls.size() - std::count(row->controls.begin(), row->controls.end(), kServiceControlInterrogate); }
void exitHook(jint code) { reinterpret_cast<void(JNICALL*)(jint)>(State.JvmExitHook)(code); }

bool create(bool) {
    ++creates;
    if (row->sendAt == InCreate) {
        sendControls();
        scm->waitForStatuses(2);  // stop pending: the stopper runs and must wait for the JVM
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    created = row->jvm == Made;
    return created;
}
void stopCalled() {
    earlyStops += !created;
    ++stops;
}
bool invoke(int count, char** vector, bool attach) {
    if (attach) {
        std::lock_guard<std::mutex> g(argsLock);
        stopArgs = joined(count, vector);
        stopCalled();
        JavaVM* jvm;
        JNIEnv* env;  // after main has returned, the real attach finds the JVM gone
        return row->sendAt != InDestroy || attachStopperThread(&jvm, &env);
    }
    mainArgs = joined(count, vector);
    if (row->sendAt == InMain) sendControls();
    if (row->main == Exits3) exitHook(3);
    if (row->main == UntilStopped) waitUntil([] { return stops >= stopControls(); });
    if (row->main == IgnoresStop) waitUntil([] { return false; });
    return row->main != MainFails;
}
void destroy() {
    ++destroys;
    if (row->sendAt != InDestroy) return;
    sendControls();  // once the application has ended by itself
    waitUntil([] { return stops > 0; });
}
bool exitStep() {
    stopCalled();
    exitHook(0);  // inside System.exit(0)
    return true;
}

std::string eventText(const std::string& token) {
    std::string text = token == "Go"     ? message(MsgServiceStarted)
                       : token == "Ok"   ? message(MsgServiceStopped)
                       : token == "Bad"  ? message(MsgServiceFailed)
                       : token == "Late" ? message(MsgServiceTimeout)
                                         : "System text " + token + ".\r\n";
    if (text.find("%s") != std::string::npos) text.replace(text.find("%s"), 2, "Demo");
    return (token == "Go" || token == "Ok" ? "" : "error: ") + text;
}

const uint32_t R = kServiceRunning, P = kServiceStopPending, S = kServiceStopped;
const uint32_t Stop = kServiceControlStop, Down = kServiceControlShutdown, Ask = kServiceControlInterrogate;
const uint32_t JvmFailed = kServiceExitJvmFailed, AppFailed = kServiceExitAppFailed, Late = kServiceExitStopTimeout;
const Row kRows[] = {
    {"ByItself", InMain, {}, Made, Returns, NoFailure, {R, S}, 0, {"Go", "Ok"}, 0, false},
    {"CreateFails", InMain, {}, Fails, Returns, NoFailure, {R, S}, JvmFailed, {"Go", "Bad"}, 0, false},
    {"MainFails", InMain, {}, Made, MainFails, NoFailure, {R, S}, AppFailed, {"Go", "Bad"}, 0, false},
    {"ExitsWithFailure", InMain, {}, Made, Exits3, NoFailure, {R, S}, AppFailed, {"Go", "Bad"}, 0, false},
    {"Stop", AtStart, {Stop}, Made, UntilStopped, NoFailure, {R, P, S}, 0, {"Go", "Ok"}, 1, false},
    {"StopByExit", InMain, {Stop}, Made, UntilStopped, NoFailure, {R, P, S}, 0, {"Go", "Ok"}, 1, true},
    {"StopIgnored", InMain, {Stop}, Made, IgnoresStop, NoFailure, {R, P, S}, Late, {"Go", "Late", "Ok"}, 1, false},
    {"ExitTakesLong", InMain, {Stop}, Made, IgnoresStop, NoFailure, {R, P, S}, 0, {"Go", "Ok"}, 1, true},
    {"StopMeetsEnd", InDestroy, {Stop}, Made, Returns, NoFailure, {R, P, S}, 0, {"Go", "Ok"}, 1, false},
    {"EveryStopHasItsStopper", InMain, {Stop, Ask, Stop, Down}, Made, UntilStopped, NoFailure, {R, P, P, P, P, S}, 0,
     {"Go", "Ok"}, 3, false},
    {"Interrogate", InMain, {Ask, Stop}, Made, UntilStopped, NoFailure, {R, R, P, S}, 0, {"Go", "Ok"}, 1, false},
    {"StopBeforeTheJvm", InCreate, {Stop}, Made, UntilStopped, NoFailure, {R, P, S}, 0, {"Go", "Ok"}, 1, false},
    {"StopBeforeNoJvm", InCreate, {Stop}, Fails, Returns, NoFailure, {R, P, S}, JvmFailed, {"Go", "Bad"}, 0, false},
    {"NoEventSource", InMain, {}, None, Returns, NoSource, {S}, JvmFailed, {}, 0, false},
    {"NoEvent", InMain, {}, None, Returns, NoEvent, {R, S}, JvmFailed, {"Go", "8", "Bad"}, 0, false},
    {"NoWorker", InMain, {}, None, Returns, NoWorker, {R, S}, JvmFailed, {"Go", "8", "Bad"}, 0, false},
    {"NoStopper", InMain, {Stop}, Made, IgnoresStop, NoStopper, {R, P, S}, Late, {"Go", "8", "Late", "Ok"}, 0, false},
    {"NoTimeOut", InMain, {Stop}, Made, IgnoresStop, NoTimeout, {R, P, S}, 0, {"Go", "8", "Ok"}, -1, false},
};

struct ServiceRun : ::testing::TestWithParam<Row> {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    FakeServiceManager fake;
    void SetUp() override {
        loadDefaultStrings(w);
        w.strings[1248] = "Demo";
        w.strings[1280] = "alpha \"b c\"";
        w.strings[1296] = "-stop now";
        w.strings[1856] = "5";
        scm = &fake;
        consoleHandler = nullptr;
        stops = creates = destroys = earlyStops = 0;
        created = released = false;
        mainArgs = stopArgs = "";
        ServiceJava = ServiceJavaSteps{create, invoke, destroy, exitStep};
    }
    void TearDown() override {
        released = true;
        fake.releaseTimeouts();
        EXPECT_TRUE(fake.waitForThreads());
        ServiceJava = defaultServiceJavaSteps();
        EXPECT_TRUE(fake.faults.empty()) << fake.faults.front();
    }
    int launch(const char* argument) {
        loadConfiguration();
        char program[] = "varnlet.exe";
        std::string a = argument;
        char* argv[] = {program, &a[0]};
        return launcherMain(2, argv);
    }
    std::vector<uint32_t> states() {
        auto lock = fake.lock();
        std::vector<uint32_t> v;
        for (const ServiceStatusRecord& r : fake.statuses) v.push_back(r.dwCurrentState);
        return v;
    }
    std::vector<std::string> events() {
        auto lock = fake.lock();
        std::vector<std::string> v;
        for (const FakeLoggedEvent& e : fake.events) v.push_back((e.type == 1 ? "error: " : "") + e.text);
        return v;
    }
};

TEST_P(ServiceRun, StatusesExitCodeEventsAndJavaCalls) {
    row = &GetParam();
    w.strings[1312] = row->byExit ? "1" : "0";
    const ThreadRoutine threads[] = {serviceWorkerThread, serviceStopperThread, serviceStopTimeoutThread};
    fake.eventSourceError = row->inject == NoSource ? 8 : 0;
    fake.createEventError = row->inject == NoEvent ? 8 : 0;
    if (row->inject >= NoWorker) fake.failingThreads[threads[row->inject - NoWorker]] = 8;
    // An ignored stop: the time-out passes once the stop call has been made (or could not be).
    std::thread timeouts([this] {
        if (row->main != IgnoresStop || row->inject == NoTimeout || !fake.waitForTimeoutSleeps(1)) return;
        waitUntil([] { return stops > 0 || row->inject == NoStopper; });
        fake.releaseTimeouts();
    });
    if (row->sendAt == AtStart) sendControls();
    launch("-startlauncherinservicemode");
    timeouts.join();

    EXPECT_EQ(State.RunMode, RunModeKind::Service);
    EXPECT_EQ(fake.dispatchedName, "Demo");
    EXPECT_EQ(states(), row->states);
    const ServiceStatusRecord& last = fake.statuses.back();
    EXPECT_EQ(last.dwWin32ExitCode, row->code ? uint32_t{kErrorServiceSpecificError} : 0u);
    EXPECT_EQ(last.dwServiceSpecificExitCode, row->code);
    for (size_t i = 0; i + 1 < fake.statuses.size(); ++i) {
        EXPECT_EQ(fake.statuses[i].dwControlsAccepted, kServiceAcceptStop | kServiceAcceptShutdown);
        EXPECT_EQ(fake.statuses[i].dwWaitHint, fake.statuses[i].dwCurrentState == P ? 15000u : 0u);  // 5 s + 10 s
    }
    std::vector<std::string> expected;
    for (const std::string& token : row->events) expected.push_back(eventText(token));
    EXPECT_EQ(events(), expected);
    EXPECT_EQ(creates, row->jvm == None ? 0 : 1);
    EXPECT_TRUE(mainArgs.empty() || mainArgs == "alpha|b c") << mainArgs;
    EXPECT_TRUE(row->stops < 0 || stops == row->stops) << stops;
    EXPECT_EQ(stopArgs, stops && !row->byExit ? "-stop|now" : "");  // stop by exit calls no second main
    EXPECT_EQ(earlyStops, 0);
    EXPECT_EQ(fake.eventsClosed, row->events.empty() || row->inject == NoEvent ? 0 : 1);
    EXPECT_TRUE(!row->controls.empty() || !State.EventSource);  // nothing left running: the source given back
    EXPECT_TRUE(row->main != IgnoresStop || fake.eventSourcesDeregistered == 0);  // kept for the worker still in main
    EXPECT_TRUE(w.console.empty());

    // Controls after the end, and threads that end late, change nothing.
    std::vector<std::string> before = events();
    size_t statuses = states().size();
    serviceControlHandler(kServiceControlStop);
    serviceControlHandler(kServiceControlInterrogate);
    released = true;
    fake.releaseTimeouts();
    ASSERT_TRUE(fake.waitForThreads());
    EXPECT_EQ(events(), before);
    EXPECT_EQ(states().size(), statuses);
    EXPECT_EQ(destroys, row->jvm == Made ? 1 : 0);
}
INSTANTIATE_TEST_SUITE_P(Ends, ServiceRun, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& p) { return std::string(p.param.name); });

TEST_F(ServiceRun, ConsoleSwitchRunsTheServiceUntilCtrlC) {
    static const Row console{"Console", InMain, {Stop}, Made, UntilStopped, NoFailure, {}, 0, {}, 1, false};
    row = &console;
    w.strings[1872] = "-console";
    Platform.setConsoleCtrlHandler = [](ConsoleHandlerRoutine handler) { return (consoleHandler = handler) != nullptr; };
    EXPECT_EQ(launch("-console"), 0);
    std::vector<std::string> lines;
    for (const ConsoleLine& l : w.console) lines.push_back(l.text);
    EXPECT_EQ(lines, (std::vector<std::string>{eventText("Go"), eventText("Ok")}));
    EXPECT_TRUE(stops == 1 && fake.statuses.empty() && fake.events.empty());
}

TEST_F(ServiceRun, RealJvmCreationFailingWithoutARuntimeIsLogged) {
    ServiceJava = defaultServiceJavaSteps();
    launch("-startlauncherinservicemode");
    std::vector<std::string> texts = events();
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts.front(), eventText("Go"));
    EXPECT_EQ(texts.back(), eventText("Bad"));
    for (size_t i = 1; i + 1 < texts.size(); ++i) EXPECT_EQ(texts[i].rfind("error: ", 0), 0u) << texts[i];
    EXPECT_EQ(states(), (std::vector<uint32_t>{R, S}));
}

TEST_F(ServiceRun, StartedByHandLogsTheDispatcherErrorOnly) {
    fake.dispatcherError = kErrorFailedServiceControllerConnect;
    launch("-startlauncherinservicemode");
    EXPECT_EQ(events(), std::vector<std::string>{eventText("1063")});
    EXPECT_EQ(fake.eventSourcesDeregistered, 1);
    fake.events.clear();
    fake.eventSourceError = kErrorAccessDenied;
    launch("-startlauncherinservicemode");
    EXPECT_TRUE(fake.events.empty());
    EXPECT_TRUE(w.console.empty() && creates == 0);
}

}  // namespace
