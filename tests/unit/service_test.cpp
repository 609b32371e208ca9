// The service's rules where wine cannot show them, against the fake service manager: each way a
// run ends as the manager and the event log see it (a table of scripted Java steps, controls and
// failing creations on real threads; threads ending late must report nothing more), the console
// switch stopped by Ctrl+C, install settings wine refuses, install failures, and which command
// lines are service operations.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "fakes/fake_platform.h"
#include "fakes/fake_service.h"
#include "core/config.h"
#include "core/state.h"
#include "invoke/jni_utils.h"
#include "launcher/dispatch.h"
#include "service/exit_codes.h"
#include "service/install.h"
#include "service/runtime.h"

namespace {

const std::string kEventKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Demo";
const std::string kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\Demo";

struct ServiceTest : ::testing::Test {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    std::unique_ptr<FakeServiceManager> scm{new FakeServiceManager};

    void SetUp() override {
        loadDefaultStrings(w);
        w.strings[1248] = "Demo";
        loadConfiguration();
    }
    void TearDown() override {
        scm->timeoutsReleased = true;
        EXPECT_TRUE(FakeServiceManager::waitUntil([this] { return scm->liveThreads == 0; }));
        EXPECT_TRUE(scm->open.empty());
        EXPECT_EQ(scm->faults, std::vector<std::string>{});
    }
    // What the user was told since the last call, errors marked "! ".
    std::string told() {
        std::string s;
        for (const ConsoleLine& l : w.console) s += (l.toError ? "! " : "") + l.text;
        w.console.clear();
        return s;
    }
    void freshManager() {
        scm.reset();  // the old fake gives the platform table back first
        scm.reset(new FakeServiceManager);
    }
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), "C:\\apps\\demo\\varnlet.exe");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(&a[0]);
        resetLauncherRecords();
        w.currentDirectory = "C:\\start";
        return launcherMain(static_cast<int>(argv.size()), argv.data());
    }
};

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
bool waitUntil(const std::function<bool()>& done) {
    while (!done() && !released) std::this_thread::yield();
    return !released;
}
// As the service manager and the console deliver them: from a thread of their own.
void sendControls() {
    for (uint32_t control : row->controls) consoleHandler ? (void)consoleHandler(0) : serviceControlHandler(control);
}
void exitHook(jint code) { reinterpret_cast<void(JNICALL*)(jint)>(State.JvmExitHook)(code); }

bool create(bool) {
    ++creates;
    if (row->sendAt == InCreate) {
        sendControls();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the stopper runs and waits for the JVM
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
    if (row->main == UntilStopped) waitUntil([] { return stops >= row->stops; });
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
    {"StopBeforeTheJvm", InCreate, {Stop}, Made, UntilStopped, NoFailure, {R, P, S}, 0, {"Go", "Ok"}, 1, false},
    {"StopBeforeNoJvm", InCreate, {Stop}, Fails, Returns, NoFailure, {R, P, S}, JvmFailed, {"Go", "Bad"}, 0, false},
    {"NoEventSource", InMain, {}, None, Returns, NoSource, {S}, JvmFailed, {}, 0, false},
    {"NoEvent", InMain, {}, None, Returns, NoEvent, {R, S}, JvmFailed, {"Go", "8", "Bad"}, 0, false},
    {"NoWorker", InMain, {}, None, Returns, NoWorker, {R, S}, JvmFailed, {"Go", "8", "Bad"}, 0, false},
    {"NoStopper", InMain, {Stop}, Made, IgnoresStop, NoStopper, {R, P, S}, Late, {"Go", "8", "Late", "Ok"}, 0, false},
    {"NoTimeOut", InMain, {Stop}, Made, IgnoresStop, NoTimeout, {R, P, S}, 0, {"Go", "8", "Ok"}, -1, false},
};

struct ServiceRun : ServiceTest, ::testing::WithParamInterface<Row> {
    void SetUp() override {
        ServiceTest::SetUp();
        w.strings[1280] = "alpha \"b c\"";
        w.strings[1296] = "-stop now";
        w.strings[1856] = "5";
        consoleHandler = nullptr;
        stops = creates = destroys = earlyStops = 0;
        created = released = false;
        mainArgs = stopArgs = "";
        ServiceJava = ServiceJavaSteps{create, invoke, destroy, exitStep};
    }
    void TearDown() override {
        released = true;
        ServiceTest::TearDown();
        ServiceJava = defaultServiceJavaSteps();
    }
};

TEST_P(ServiceRun, StatusesExitCodeEventsAndJavaCalls) {
    row = &GetParam();
    w.strings[1312] = row->byExit ? "1" : "0";
    const ThreadRoutine threads[] = {serviceWorkerThread, serviceStopperThread, serviceStopTimeoutThread};
    if (row->inject == NoSource) scm->failing["registerEventSource"] = 8;
    if (row->inject == NoEvent) scm->failing["createEvent"] = 8;
    if (row->inject >= NoWorker) scm->failingThreads[threads[row->inject - NoWorker]] = 8;
    std::thread manager([this] {
        // A control on the first status, which the service is still reporting.
        if (row->sendAt == AtStart && waitUntil([this] { return !scm->states().empty(); })) sendControls();
        // An ignored stop: the time-out passes once the stop call has been made (or could not be).
        if (row->main == IgnoresStop && row->inject != NoTimeout &&
            waitUntil([this] { return scm->timeoutWaits > 0 && (stops > 0 || row->inject == NoStopper); }))
            scm->timeoutsReleased = true;
    });
    run({"-startlauncherinservicemode"});
    manager.join();

    EXPECT_EQ(State.RunMode, RunModeKind::Service);
    EXPECT_EQ(scm->states(), row->states);
    std::unique_lock<std::mutex> lock(scm->m);
    const ServiceStatusRecord last = scm->statuses.back();
    EXPECT_EQ(last.dwWin32ExitCode, row->code ? uint32_t{kErrorServiceSpecificError} : 0u);
    EXPECT_EQ(last.dwServiceSpecificExitCode, row->code);
    for (size_t i = 0; i + 1 < scm->statuses.size(); ++i) {
        EXPECT_EQ(scm->statuses[i].dwControlsAccepted, kServiceAcceptStop | kServiceAcceptShutdown);
        EXPECT_EQ(scm->statuses[i].dwWaitHint, scm->statuses[i].dwCurrentState == P ? 15000u : 0u);  // 5 s + 10 s
    }
    for (auto& event : scm->eventsOpen) EXPECT_FALSE(event.second);
    // The source stays for a worker still in main; a run without a stop gives it back.
    EXPECT_TRUE(row->main != IgnoresStop || scm->sources.size() == 1u);
    EXPECT_TRUE(!row->controls.empty() || scm->sources.empty());
    std::vector<std::string> expected;
    for (const std::string& token : row->events) expected.push_back(eventText(token));
    EXPECT_EQ(scm->events, expected);
    lock.unlock();
    EXPECT_EQ(creates, row->jvm == None ? 0 : 1);
    EXPECT_EQ(mainArgs, row->jvm == Made ? "alpha|b c" : "");
    EXPECT_TRUE(row->stops < 0 || stops == row->stops) << stops;
    EXPECT_EQ(stopArgs, stops && !row->byExit ? "-stop|now" : "");  // stop by exit calls no second main
    EXPECT_EQ(earlyStops, 0);
    EXPECT_TRUE(w.console.empty());

    // Controls after the end, and threads that end late, change nothing.
    size_t statuses = scm->states().size();
    serviceControlHandler(kServiceControlStop);
    serviceControlHandler(kServiceControlInterrogate);
    released = scm->timeoutsReleased = true;
    ASSERT_TRUE(FakeServiceManager::waitUntil([this] { return scm->liveThreads == 0; }));
    EXPECT_EQ(scm->events, expected);  // no thread is left to race with
    EXPECT_EQ(scm->states().size(), statuses);
    EXPECT_EQ(destroys, row->jvm == Made ? 1 : 0);
}
INSTANTIATE_TEST_SUITE_P(Ends, ServiceRun, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& p) { return std::string(p.param.name); });

// Wine delivers no Ctrl+C without a terminal: the console switch's stop is shown here.
TEST_F(ServiceRun, ConsoleSwitchRunsTheServiceUntilCtrlC) {
    static const Row console{"Console", InMain, {Stop}, Made, UntilStopped, NoFailure, {}, 0, {}, 1, false};
    row = &console;
    w.strings[1872] = "-console";
    Platform.setConsoleCtrlHandler = [](ConsoleHandlerRoutine handler) { return (consoleHandler = handler) != nullptr; };
    EXPECT_EQ(run({"-console"}), 0);
    std::vector<std::string> lines;
    for (const ConsoleLine& l : w.console) lines.push_back(l.text);
    EXPECT_EQ(lines, (std::vector<std::string>{eventText("Go"), eventText("Ok")}));
    EXPECT_TRUE(stops == 1 && scm->statuses.empty() && scm->events.empty());
}

// Wine shows the start type, the quoted path, the description, dependencies and account.
TEST_F(ServiceTest, SettingsWrittenAtInstall) {
    for (auto entry : {std::make_pair(1264u, "Runs the demo"), {1328u, "1"}, {1760u, "60"}, {1776u, "2"},
                       {1792u, "3600"}, {1808u, "1"}, {1824u, "Tcpip; ;EventLog"}, {1840u, "localservice"}})
        w.strings[entry.first] = entry.second;
    EXPECT_EQ(run({"-install"}), 0);
    EXPECT_EQ(told(), "Service installed: Demo");
    const FakeService& s = scm->services["Demo"];
    // Manual start leaves out the delayed start; restarts in milliseconds.
    EXPECT_EQ(s.settings, (std::vector<std::string>{"dependencies=Tcpip|EventLog| account=NT AUTHORITY\\LocalService",
                                                    "restart=3600,60000,2"}));
    freshManager();
    w.strings[1328] = "0";
    EXPECT_EQ(run({"-install"}), 0);
    EXPECT_EQ(scm->services["Demo"].settings[1], "delayed=1");
}

TEST_F(ServiceTest, FailuresAreToldWithTheSystemTextAndKeepWhatWasDone) {
    const struct {
        const char* argument;
        const char* failing;
        size_t services;
        const char* eventLogValues;  // names of the values written under the event log key
    } cases[] = {
        {"-install", "openScManager", 0, ""},     {"-uninstall", "openScManager", 1, ""},
        {"-install", "openService", 0, ""},       // the query's own error, not the close's
        {"-install", "createService", 0, ""},     {"-install", "regCreateKey", 1, ""},
        {"-install", "TypesSupported", 1, "EventMessageFile"}, {"-uninstall", "deleteService", 1, ""},
    };
    w.strings[1264] = "text";
    for (const auto& c : cases) {
        freshManager();
        scm->failing[c.failing] = kErrorAccessDenied;
        if (c.argument == std::string("-uninstall")) scm->services["Demo"] = FakeService{2, "x", {}};
        Platform.setLastError(1234);  // an unrelated last error must not be what is shown
        EXPECT_EQ(run({c.argument}), 0);
        EXPECT_EQ(told(), "! System text 5.\r\n") << c.failing;
        EXPECT_EQ(scm->services.size(), c.services) << c.failing;
        std::string names;
        for (auto& v : scm->registry[kEventKey]) names += v.first;
        EXPECT_EQ(names, c.eventLogValues);
        EXPECT_EQ(scm->registry[kServiceKey].count("Description"), 0u);
        EXPECT_TRUE(scm->open.empty());
    }
    freshManager();  // installService on its own, and a value under a key that is missing
    scm->failing["openScManager"] = kErrorAccessDenied;
    EXPECT_EQ(installService("Demo", ""), -1);
    EXPECT_EQ(told(), "! System text 5.\r\n");
    long status = 0;
    EXPECT_EQ(writeRegistryString(RegistryRoot::LocalMachine, "Missing", "V", "t", &status), -1);
    EXPECT_EQ(status, static_cast<long>(kErrorFileNotFound));
}

TEST_F(ServiceTest, TextsThatDoNotFitAreRefusedBeforeAnythingChanges) {
    std::string path = "C:\\" + std::string(kPathBufferSize + 40, 'p') + "\\varnlet.exe";  // cut by the system
    std::string longSwitch(kServiceCommandLineSize, 's'), longName(kRegistryKeyPathSize, 'n');
    const char* okSwitch = Config.ServiceSwitch;
    for (int text = 0; text < 3; ++text) {
        w.modulePath = text == 0 ? path : "C:\\apps\\demo\\varnlet.exe";
        Config.ServiceSwitch = text == 1 ? &longSwitch[0] : const_cast<char*>(okSwitch);
        EXPECT_EQ(installService(text == 2 ? longName.c_str() : "Demo", ""), -1);
        std::string s = told();
        EXPECT_EQ(s.rfind("! System text 206.\r\n! Error accessing file/directory: ", 0), 0u) << s;
        EXPECT_TRUE(text != 0 || s.substr(s.size() - 11) == "CURRENT_EXE") << s;
    }
    EXPECT_TRUE(scm->services.empty() && scm->registry.empty());
}

TEST_F(ServiceTest, OnlyOneArgumentEqualToASwitchIsAServiceOperation) {
    // Other case, a second argument, a trailing blank, none: arguments for main (no JVM here).
    for (auto args : std::vector<std::vector<std::string>>{{"-INSTALL"}, {"-install", "x"}, {"-install "}, {}})
        EXPECT_EQ(run(args), -1);
    w.strings[1248] = "";
    EXPECT_EQ(run({"-install"}), -1);
    EXPECT_TRUE(scm->services.empty());
    // The first switch that matches wins.
    w.strings[1248] = "Demo";
    w.strings[1120] = "-install";
    EXPECT_EQ(run({"-install"}), 0);
    EXPECT_EQ(scm->services.count("Demo"), 1u);
    EXPECT_STREQ(State.StartupDir, "C:\\start");
    // The service switch started by hand: the dispatcher's error goes to the event log only.
    w.console.clear();
    scm->failing["dispatcher"] = kErrorFailedServiceControllerConnect;
    EXPECT_EQ(run({"-startlauncherinservicemode"}), 0);
    EXPECT_EQ(State.RunMode, RunModeKind::Service);
    EXPECT_EQ(scm->events, std::vector<std::string>{"error: System text 1063.\r\n"});
    EXPECT_TRUE(w.console.empty() && scm->sources.empty());
}

}  // namespace
