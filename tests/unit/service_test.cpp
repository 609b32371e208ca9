// The service's rules where wine cannot show them, against a fake service manager: every way a run
// ends, on real threads with scripted Java steps, and every way an install fails.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "fakes/fake_platform.h"
#include "fakes/fake_service_manager.h"
#include "core/config.h"
#include "core/writable_config.h"
#include "core/report.h"
#include "core/state.h"
#include "jvm/jni_utils.h"
#include "launcher/dispatch.h"
#include "service/exit_codes.h"
#include "service/install.h"
#include "service/runtime.h"

namespace {

constexpr SystemError kDenied{ErrorKind::AccessDenied, 5}, kNoMemory{ErrorKind::OutOfMemory, 8};

enum SendAt { AtStart, InCreate, InMain, InDestroy, AlongExit };
enum Jvm { Made, Fails, None };  // None: the JVM must not even be asked for
enum Main { Returns, MainFails, Exits3, UntilStopped, IgnoresStop };
enum Inject { NoFailure, NoSource, NoEvent, NoWorker, NoStopper, NoTimeout };

// events: "Go", "Ok", "Bad", "Late" or a system error number; stops -1: not checked (races with the service's end).
struct Row {
    const char* name; SendAt sendAt; std::vector<ServiceControl> controls; Jvm jvm; Main main; Inject inject;
    std::vector<ServiceState> states; uint32_t code; std::vector<std::string> events; int stops; bool byExit;
};
void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }  // ctest names the rows by it

const Row* row;
ConsoleHandlerRoutine consoleHandler;
std::atomic<int> stops, creates, destroys;
std::atomic<bool> created, released, along;
std::mutex argsLock;
std::string mainArgs, stopArgs;

std::string joined(int count, char** vector) {
    std::string s;
    for (int i = 0; i < count; ++i) s += (i ? "|" : "") + std::string(vector[i]);
    return s;
}
// As the service manager and the console deliver them: from a thread of their own.
void sendControls() {
    for (ServiceControl control : row->controls) consoleHandler ? (void)consoleHandler(ConsoleEvent::Interrupt) : serviceControlHandler(control);
}
void exitHook(jint code) { reinterpret_cast<void(JNICALL*)(jint)>(State.JvmExitHook)(code); }

bool create(bool) {
    ++creates;
    if (row->sendAt == InCreate) {
        sendControls();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the stopper runs and waits for the JVM
    }
    return created = row->jvm == Made;
}
void stopCalled() {
    EXPECT_TRUE(created) << "a stop call before the JVM exists";
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
    while (row->sendAt == AlongExit && !along) std::this_thread::yield();  // the manager's stop as System.exit runs
    if (row->main == Exits3) exitHook(3);
    if (row->main == UntilStopped) waitFor([] { return stops >= row->stops || released; });
    if (row->main == IgnoresStop) waitFor([] { return released.load(); });
    return row->main != MainFails;
}
void destroy() {
    ++destroys;
    if (row->sendAt != InDestroy) return;
    sendControls();  // once the application has ended by itself
    waitFor([] { return stops > 0 || released; });
}
bool exitStep() {
    exitHook(0);  // inside System.exit(0); the stop counts, and lets a held time-out pass, after it
    stopCalled();
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

struct ServiceTest : ::testing::Test {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    std::unique_ptr<FakeServiceManager> scm{new FakeServiceManager};

    void SetUp() override {
        w.strings[kEntryServiceName] = "Demo";
        w.strings[kEntryServiceStartOptions] = "alpha \"b c\"";
        w.strings[kEntryServiceStopOptions] = "-stop now";
        loadConfiguration();
        consoleHandler = nullptr;
        stops = creates = destroys = 0;
        created = released = along = false;
        mainArgs = stopArgs = "";
        ServiceJava = ServiceJavaSteps{create, invoke, destroy, exitStep};
    }
    void TearDown() override {
        released = true;
        scm.reset();  // first the service's threads end, some still in the Java steps below
        ServiceJava = defaultServiceJavaSteps();
    }
    std::string told() {  // since the last call, errors marked "! "
        std::string s;
        for (const std::string& line : w.takeConsole("! ")) s += line;
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

const ServiceState R = ServiceState::Running, P = ServiceState::StopPending, S = ServiceState::Stopped;
const ServiceControl Stop = ServiceControl::Stop, Down = ServiceControl::Shutdown, Ask = ServiceControl::Other;
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
    {"StopRacesExit", AlongExit, {Stop}, Made, Exits3, NoFailure, {R, S}, AppFailed, {"Go", "Bad"}, -1, false},
    {"NoEventSource", InMain, {}, None, Returns, NoSource, {S}, JvmFailed, {}, 0, false},
    {"NoEvent", InMain, {}, None, Returns, NoEvent, {R, S}, JvmFailed, {"Go", "8", "Bad"}, 0, false},
    {"NoWorker", InMain, {}, None, Returns, NoWorker, {R, S}, JvmFailed, {"Go", "8", "Bad"}, 0, false},
    {"NoStopper", InMain, {Stop}, Made, IgnoresStop, NoStopper, {R, P, S}, Late, {"Go", "8", "Late", "Ok"}, 0, false},
    {"NoTimeOut", InMain, {Stop}, Made, IgnoresStop, NoTimeout, {R, P, S}, 0, {"Go", "8", "Ok"}, -1, false},
};

struct ServiceRun : ServiceTest, ::testing::WithParamInterface<Row> {};

TEST_P(ServiceRun, StatusesExitCodeEventsAndJavaCalls) {
    row = &GetParam();
    w.strings[kEntryServiceStopByExit] = row->byExit ? "1" : "0";
    const ThreadRoutine threads[] = {serviceWorkerThread, serviceStopperThread, serviceStopTimeoutThread};
    if (row->inject == NoSource) scm->failing["registerEventSource"] = kNoMemory;
    if (row->inject == NoEvent) scm->failing["createEvent"] = kNoMemory;
    if (row->inject >= NoWorker) scm->failingThreads[threads[row->inject - NoWorker]] = kNoMemory;
    std::thread manager([this] {
        // A control on the first status, which the service is still reporting.
        if (row->sendAt == AtStart && waitFor([this] { return !scm->states().empty(); })) sendControls();
        if (row->sendAt == AlongExit && waitFor([] { return created.load(); })) along = true, sendControls();
        // An ignored stop: the time-out passes once the stop call has been made (or could not be).
        if (row->main == IgnoresStop && row->inject != NoTimeout &&
            waitFor([this] { return scm->timeoutWaits > 0 && (stops > 0 || row->inject == NoStopper); }))
            scm->timeoutsReleased = true;
    });
    run({"-startlauncherinservicemode"});
    manager.join();
    // Controls after the end, and threads that end late, change nothing.
    serviceControlHandler(ServiceControl::Stop);
    serviceControlHandler(ServiceControl::Other);
    released = scm->timeoutsReleased = true;
    ASSERT_TRUE(waitFor([this] { return scm->liveThreads == 0; }));
    std::vector<ServiceState> states = scm->states();
    if (row->sendAt == AlongExit && states.size() == 3 && states[1] == P) states.erase(states.begin() + 1);  // the stop came first
    EXPECT_EQ(states, row->states);
    EXPECT_EQ(scm->records.back().win32ExitCode, row->code ? 1066u : 0u);  // the service's own code
    EXPECT_EQ(scm->records.back().serviceSpecificExitCode, row->code);
    for (size_t i = 0; i + 1 < scm->records.size(); ++i) EXPECT_EQ(scm->records[i].controlsAccepted, 1u | 4u);  // stop, shutdown
    for (auto& event : scm->eventsOpen) EXPECT_FALSE(event.second);
    // The source stays for a worker still in main; a run without a stop gives it back.
    EXPECT_TRUE(row->main != IgnoresStop || scm->sources.size() == 1u);
    EXPECT_TRUE(!row->controls.empty() || scm->sources.empty());
    std::vector<std::string> expected;
    for (const std::string& token : row->events) expected.push_back(eventText(token));
    EXPECT_EQ(scm->events, expected);
    EXPECT_EQ(creates, row->jvm == None ? 0 : 1);
    EXPECT_EQ(destroys, row->jvm == Made ? 1 : 0);
    EXPECT_EQ(mainArgs, row->jvm == Made ? "alpha|b c" : "");
    EXPECT_TRUE(row->stops < 0 || stops == row->stops) << stops;
    EXPECT_EQ(stopArgs, stops && !row->byExit ? "-stop|now" : "");  // stop by exit calls no second main
    EXPECT_TRUE(w.console.empty());
}
INSTANTIATE_TEST_SUITE_P(Ends, ServiceRun, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& p) { return std::string(p.param.name); });

// Wine delivers no Ctrl+C without a terminal: the console switch's stop is shown here. A second
// Ctrl+C while the stop runs adds no stop call and no time-out.
TEST_F(ServiceTest, ConsoleSwitchRunsTheServiceUntilCtrlC) {
    static const Row console{"Console", InMain, {Stop, Stop}, Made, UntilStopped, NoFailure, {}, 0, {}, 1, false};
    row = &console;
    w.strings[kEntryServiceConsoleSwitch] = "-console";
    Platform.console.setCtrlHandler = [](ConsoleHandlerRoutine handler) { return (consoleHandler = handler) != nullptr; };
    EXPECT_EQ(run({"-console"}), 0);
    EXPECT_EQ(told(), eventText("Go") + eventText("Ok"));
    scm->timeoutsReleased = true;
    ASSERT_TRUE(waitFor([this] { return scm->liveThreads == 0; }));
    EXPECT_TRUE(stops == 1 && scm->timeoutWaits == 1 && scm->statuses.empty() && scm->events.empty()) << stops;
}

// Wine shows the start type, the quoted path, the description, dependencies and account.
TEST_F(ServiceTest, SettingsWrittenAtInstall) {
    for (auto entry : {std::make_pair(kEntryServiceDescription, "Runs the demo"), {kEntryServiceManualStart, "1"},
                       {kEntryServiceRestartDelay, "60"}, {kEntryServiceRestartCount, "2"},
                       {kEntryServiceRestartReset, "3600"}, {kEntryServiceDelayedStart, "1"},
                       {kEntryServiceDependencies, "Tcpip; ;EventLog"}, {kEntryServiceAccount, "localservice"}})
        w.strings[entry.first] = entry.second;
    EXPECT_EQ(run({"-install"}), 0);
    EXPECT_EQ(told(), "Service installed: Demo");
    // Manual start leaves out the delayed start; restarts in milliseconds.
    EXPECT_EQ(scm->services["Demo"], (std::vector<std::string>{"description=Runs the demo",
                                                                "dependencies=Tcpip|EventLog| account=NT AUTHORITY\\LocalService",
                                                                "restart=3600,60000,2"}));
    freshManager();
    w.strings[kEntryServiceManualStart] = "0";
    EXPECT_EQ(run({"-install"}), 0);
    EXPECT_EQ(scm->services["Demo"][2], "delayed=1");
}

TEST_F(ServiceTest, FailuresAreToldWithTheSystemText) {
    const struct { const char *argument, *failing; size_t services; std::set<std::string> eventLogValues; } cases[] = {
        {"-install", "openScManager", 0, {}},     {"-uninstall", "openScManager", 1, {}},
        {"-install", "openService", 0, {}},       // the query's own error, not the close's
        {"-install", "createService", 0, {}},     {"-install", "regCreateKey", 1, {}},
        {"-install", "TypesSupported", 1, {"EventMessageFile"}}, {"-uninstall", "deleteService", 1, {}},
        {"-install", "regOpenKey", 1, {}},        {"-uninstall", "openService", 1, {}},
        {"-install", "configure", 0, {}},  // removed again rather than left to run otherwise than configured
    };
    w.strings[kEntryServiceDescription] = "text";
    for (const auto& c : cases) {
        freshManager();
        scm->failing[c.failing] = kDenied;
        if (c.argument == std::string("-uninstall")) scm->services["Demo"];
        EXPECT_EQ(run({c.argument}), 5) << c.failing;
        EXPECT_EQ(told(), "! System text 5.\r\n") << c.failing;
        EXPECT_EQ(scm->services.size(), c.services) << c.failing;
        EXPECT_EQ(scm->registry["SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Demo"], c.eventLogValues);
    }
    freshManager();  // installService on its own
    scm->failing["openScManager"] = kDenied;
    EXPECT_EQ(installService("Demo", ""), -1);
    EXPECT_EQ(told(), "! System text 5.\r\n");
}

// Exit 0 only when the operation was done: Windows ends with the error, systemd with a small number.
TEST_F(ServiceTest, ExitCodesAndSystemdAccounts) {
    const SystemError none = kNoError;
    const struct { bool systemd; const char *argument, *failing; SystemError error; bool present; const char* account; int code; } cases[] = {
        {false, "-install", "", none, true, "", 1073},      {false, "-uninstall", "", none, false, "", 1060},
        {false, "-install", "", none, false, "svc", 1057},  {true, "-install", "", none, false, "svc:staff", 0},
        {true, "-install", "openScManager", {ErrorKind::AccessDenied, EACCES}, false, "", 2},
        {true, "-uninstall", "deleteService", {ErrorKind::AccessDenied, EPERM}, true, "", 2},
        {true, "-install", "openService", {ErrorKind::AccessDenied, EROFS}, false, "", 2},
        {true, "-install", "", none, true, "", 3},
        {true, "-uninstall", "", none, false, "", 4},       {true, "-install", "", none, false, "svc", 5},
        {true, "-install", "createService", {ErrorKind::InvalidServiceText, 0x20000004}, false, "", 5},
        {true, "-install", "createService", {ErrorKind::ServiceManagerFailed, 0x20000006}, false, "", 6},
        {true, "-install", "createService", {ErrorKind::Other, ENOSPC}, false, "", 1},
    };
    for (const auto& c : cases) {
        freshManager();
        scm->useSystemd(c.systemd);
        w.strings[kEntryServiceAccount] = c.account;
        if (*c.failing) scm->failing[c.failing] = c.error;
        if (c.present) scm->services["Demo"];
        std::string what = std::string(c.argument) + c.failing + c.account;
        EXPECT_EQ(run({c.argument}), c.code) << what;
        EXPECT_EQ(told().find("! "), c.code ? 0u : std::string::npos) << what;
        // Made only when done; with the user and group given to the unit, not to the Windows account call.
        EXPECT_EQ(c.present ? std::vector<std::string>{} : scm->services["Demo"],
                  c.code ? std::vector<std::string>{} : std::vector<std::string>{"description= user=svc:staff"}) << what;
    }
}

// A running service is stopped before it is deleted; exit 0 only once it is gone.
TEST_F(ServiceTest, UninstallStopsTheServiceAndTellsWhyItStays) {
    const struct { bool systemd; ServiceState state; bool ignoresStop, heldOpen, answerLost; const char* failing; SystemError error; int code; } cases[] = {
        {false, R, false, false, false, "", kNoError, 0},  {true, R, false, false, false, "", kNoError, 0},
        {false, R, true, false, false, "", kNoError, 1053},  // not stopped within ServiceStopTimeout + 10 s
        {false, R, false, false, false, "controlService", {ErrorKind::Other, 1061}, 1061},
        {false, R, false, false, true, "controlService", {ErrorKind::Other, 109}, 0},  // stopping all the same
        {true, R, false, false, false, "controlService", {ErrorKind::ServiceManagerFailed, 0x20000006}, 6},
        {false, S, false, true, false, "", kNoError, 1072},  // another program holds it open
    };
    w.strings[kEntryServiceStopTimeout] = "1";
    for (const auto& c : cases) {
        freshManager();
        scm->useSystemd(c.systemd);
        scm->services["Demo"], scm->serviceStates["Demo"] = c.state;
        scm->ignoresStop = c.ignoresStop, scm->heldOpen = c.heldOpen, scm->stopAnswerLost = c.answerLost;
        if (*c.failing) scm->failing[c.failing] = c.error;
        EXPECT_EQ(run({"-uninstall"}), c.code) << c.code;
        EXPECT_EQ(told(), c.code ? "! System text " + std::to_string(c.error.failed() ? c.error.code : c.code) + ".\r\n"
                                 : "Service uninstalled: Demo") << c.code;
        EXPECT_EQ(scm->services.count("Demo"), c.code ? 1u : 0u) << c.code;
    }
}

// The systemd backend itself on a scratch root (a manual start runs no systemctl): the account's user and group.
TEST(SystemdUnit, AccountsAreSystemUsers) {
    const PlatformOps& ops = defaultPlatformOps();
    std::string root = ::testing::TempDir() + "varnlet-root", unit = root + "/etc/systemd/system/demo-user.service";
    makeFile(root + "/etc/systemd/system/"), setenv("VARNLET_SYSTEMD_ROOT", root.c_str(), 1);
    EXPECT_TRUE(ops.services.checkAccount("nobody", "") && ops.services.checkAccount("nobody:nogroup", ""));
    for (const char* ghost : {"varnlet-no-such-user", "nobody:varnlet-no-such-group", "nobody:", ":nogroup"})
        EXPECT_TRUE(!ops.services.checkAccount(ghost, "") && ops.errors.last().kind == ErrorKind::InvalidAccount) << ghost;
    ServiceDefinition definition{"demo-user", "/opt/x", "-s", false, false, "", "nobody:nogroup", "", 0, 0, 0, 30};
    ASSERT_TRUE(ops.services.create(&definition) && ops.services.configure(&definition));
    std::ifstream file(unit);
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(file), {}).find("\nUser=nobody\nGroup=nogroup\n"), std::string::npos);
    std::remove(unit.c_str()), unsetenv("VARNLET_SYSTEMD_ROOT");
}

TEST_F(ServiceTest, TextsThatDoNotFitAreRefusedBeforeAnythingChanges) {
    std::string path = "C:\\" + std::string(kPathBufferSize + 40, 'p') + "\\varnlet.exe";  // cut by the system
    std::string longSwitch(kServiceCommandLineSize, 's'), longName(kLongestServiceName + 1, 'n');
    const char* okSwitch = Config.ServiceSwitch;
    for (int text = 0; text < 3; ++text) {
        w.modulePath = text == 0 ? path : "C:\\apps\\demo\\varnlet.exe";
        writableConfig().ServiceSwitch = text == 1 ? longSwitch.c_str() : okSwitch;
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
    w.strings[kEntryServiceName] = "";
    EXPECT_EQ(run({"-install"}), -1);
    // The service switch started by hand: the dispatcher's error goes to the event log only.
    w.strings[kEntryServiceName] = "Demo";
    w.console.clear();
    scm->failing["dispatcher"] = SystemError{ErrorKind::Other, 1063};
    EXPECT_EQ(run({"-startlauncherinservicemode"}), 0);
    EXPECT_EQ(State.RunMode, RunModeKind::Service);
    EXPECT_EQ(scm->events, std::vector<std::string>{"error: System text 1063.\r\n"});
    EXPECT_TRUE(w.console.empty() && scm->sources.empty());
}

}  // namespace
