// The service runtime's threads on real pthreads against a fake service manager, with
// scripted Java steps: status sequence, event log, stop controls, the time-out, and the
// failure paths. No JVM is needed; the jvm tier runs the same logic with OpenJDK.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fakes/fake_platform.h"
#include "fakes/fake_service.h"
#include "core/config.h"
#include "core/state.h"
#include "service/runtime.h"

namespace {

// What the scripted application does with its start call.
enum class MainMode { Returns, RunsUntilStopped, IgnoresStop };

struct Script {
    std::mutex m;
    std::condition_variable cv;
    bool createResult = true;
    bool holdCreate = false;
    bool createReleased = false;
    MainMode mode = MainMode::Returns;
    bool mainResult = true;
    bool stopResult = true;
    int stopsNeeded = 1;
    int stopsSeen = 0;
    bool released = false;
    std::vector<std::string> calls;
    std::thread::id mainThread, stopThread;

    void record(const std::string& call) { calls.push_back(call); }
    size_t indexOf(const std::string& call) {
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i] == call) return i;
        return calls.size();
    }
    int count(const std::string& call) {
        int n = 0;
        for (const std::string& c : calls) n += c == call;
        return n;
    }
};
Script* script;

std::string joined(int count, char** vector) {
    std::string s;
    for (int i = 0; i < count; ++i) s += (i ? "|" : "") + std::string(vector[i]);
    return s;
}

bool scriptedCreate(bool withConsole) {
    std::unique_lock<std::mutex> lock(script->m);
    script->record(withConsole ? "create with console" : "create");
    script->cv.wait(lock, [] { return !script->holdCreate || script->createReleased || script->released; });
    script->record("created");
    return script->createResult;
}

bool scriptedInvoke(int count, char** vector, bool attach) {
    std::unique_lock<std::mutex> lock(script->m);
    if (attach) {
        script->record("stop main(" + joined(count, vector) + ")");
        script->stopThread = std::this_thread::get_id();
        ++script->stopsSeen;
        script->cv.notify_all();
        return script->stopResult;
    }
    script->record("main(" + joined(count, vector) + ")");
    script->mainThread = std::this_thread::get_id();
    script->cv.notify_all();
    if (script->mode == MainMode::RunsUntilStopped)
        script->cv.wait(lock, [] { return script->stopsSeen >= script->stopsNeeded || script->released; });
    else if (script->mode == MainMode::IgnoresStop)
        script->cv.wait(lock, [] { return script->released; });
    return script->mainResult;
}

void scriptedDestroy() {
    std::lock_guard<std::mutex> g(script->m);
    script->record("destroy");
}

bool scriptedExit() {
    std::lock_guard<std::mutex> g(script->m);
    script->record("exit");
    ++script->stopsSeen;
    script->cv.notify_all();
    return true;
}

const std::string kStarted = "The Demo service has started.";
const std::string kStopped = "The Demo service has stopped.";
const std::string kFailed = "The Demo service failed to start.";
const std::string kTimedOut = "The Demo service has timed out during a stop request and will be terminated.";

struct ServiceRuntime : ::testing::Test {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    FakeServiceManager scm;
    Script s;

    void SetUp() override {
        loadDefaultStrings(w);
        w.strings[1248] = "Demo";
        w.strings[1280] = "alpha \"b c\"";
        w.strings[1296] = "-stop now";
        loadConfiguration();
        script = &s;
        ServiceJava = ServiceJavaSteps{scriptedCreate, scriptedInvoke, scriptedDestroy, scriptedExit};
    }
    void TearDown() override {
        releaseAll();
        scm.releaseTimeouts();
        EXPECT_TRUE(scm.waitForThreads());
        ServiceJava = defaultServiceJavaSteps();
        EXPECT_TRUE(scm.faults.empty()) << scm.faults.front();
        script = nullptr;
    }
    void releaseAll() {
        std::lock_guard<std::mutex> g(s.m);
        s.released = true;
        s.cv.notify_all();
    }
    std::vector<uint32_t> states() {
        auto lock = scm.lock();
        std::vector<uint32_t> v;
        for (const ServiceStatusRecord& r : scm.statuses) v.push_back(r.dwCurrentState);
        return v;
    }
    // Lets the time-outs pass once the application's main is running.
    std::thread releaseTimeoutsOnceMainRuns() {
        return std::thread([this] {
            waitForMain();
            scm.releaseTimeouts();
        });
    }
    void waitForMain() {
        std::unique_lock<std::mutex> lock(s.m);
        // Bounded: a main that never comes with these arguments fails the test instead of hanging it.
        EXPECT_TRUE(s.cv.wait_for(lock, std::chrono::seconds(10),
                                  [this] { return s.indexOf("main(alpha|b c)") < s.calls.size(); }))
            << "main(alpha|b c) never ran";
    }
    // Lets every time-out pass and every thread end, then checks nothing more was reported.
    void expectQuietLateThreads() {
        std::vector<std::string> before = scm.eventTexts();
        size_t statuses = states().size();
        releaseAll();
        scm.releaseTimeouts();
        ASSERT_TRUE(scm.waitForThreads());
        EXPECT_EQ(scm.eventTexts(), before);
        EXPECT_EQ(states().size(), statuses);
    }
};

TEST_F(ServiceRuntime, ApplicationEndingByItselfStopsTheService) {
    runServiceDispatcher();
    EXPECT_EQ(State.RunMode, RunModeKind::Service);
    EXPECT_EQ(scm.dispatchedName, "Demo");
    EXPECT_EQ(scm.handlerName, "Demo");
    EXPECT_EQ(s.calls, (std::vector<std::string>{"create with console", "created", "main(alpha|b c)", "destroy"}));

    ASSERT_EQ(scm.statuses.size(), 2u);
    const ServiceStatusRecord& running = scm.statuses[0];
    EXPECT_EQ(running.dwServiceType, kServiceWin32OwnProcess);
    EXPECT_EQ(running.dwCurrentState, kServiceRunning);
    EXPECT_EQ(running.dwControlsAccepted, kServiceAcceptStop | kServiceAcceptShutdown);
    EXPECT_EQ(running.dwWin32ExitCode, 0u);
    EXPECT_EQ(running.dwServiceSpecificExitCode, 0u);
    EXPECT_EQ(running.dwCheckPoint, 0u);
    EXPECT_EQ(running.dwWaitHint, 0u);
    ServiceStatusRecord stopped = running;
    stopped.dwCurrentState = kServiceStopped;
    EXPECT_EQ(memcmp(&scm.statuses[1], &stopped, sizeof stopped), 0);

    ASSERT_EQ(scm.events.size(), 2u);
    EXPECT_EQ(scm.events[0].text, kStarted);
    EXPECT_EQ(scm.events[0].type, 4);
    EXPECT_EQ(scm.events[0].id, 0x40000001u);
    EXPECT_EQ(scm.events[1].text, kStopped);
    // Nothing was left running, so the event and the source were given back.
    EXPECT_EQ(scm.eventsClosed, 1);
    EXPECT_EQ(scm.eventSourcesDeregistered, 1);
    EXPECT_EQ(State.EventSource, nullptr);
    EXPECT_TRUE(w.console.empty());
}

class ServiceStopControl : public ServiceRuntime, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(ServiceStopControl, RunsTheSecondMainOnItsOwnThreadAndReportsStopPending) {
    s.mode = MainMode::RunsUntilStopped;
    scm.sendControl(GetParam());
    runServiceDispatcher();
    EXPECT_EQ(s.count("stop main(-stop|now)"), 1);
    EXPECT_NE(s.stopThread, s.mainThread);
    EXPECT_EQ(states(), (std::vector<uint32_t>{kServiceRunning, kServiceStopPending, kServiceStopped}));
    EXPECT_EQ(scm.statuses[1].dwWaitHint, kStopWaitHintMs);
    EXPECT_EQ(scm.statuses[1].dwControlsAccepted, 5u);
    EXPECT_EQ(scm.statuses[2].dwWaitHint, 0u);
    EXPECT_EQ(scm.eventTexts(), (std::vector<std::string>{kStarted, kStopped}));
    // The time-out thread is still asleep; when it wakes the service is over.
    ASSERT_TRUE(scm.waitForTimeoutSleeps(1));
    expectQuietLateThreads();
}

INSTANTIATE_TEST_SUITE_P(StopAndShutdown, ServiceStopControl,
                         ::testing::Values(kServiceControlStop, kServiceControlShutdown));

TEST_F(ServiceRuntime, StopByExitAsksTheJvmToExit) {
    Config.ServiceStopByExit = true;
    s.mode = MainMode::RunsUntilStopped;
    scm.sendControl(kServiceControlStop);
    runServiceDispatcher();
    EXPECT_EQ(s.count("exit"), 1);
    EXPECT_EQ(s.count("stop main(-stop|now)"), 0);
}

TEST_F(ServiceRuntime, IgnoredStopTimesOutThenStops) {
    s.mode = MainMode::IgnoresStop;
    std::thread releaser = releaseTimeoutsOnceMainRuns();
    scm.sendControl(kServiceControlStop);
    runServiceDispatcher();
    releaser.join();
    std::vector<std::string> texts = scm.eventTexts();
    ASSERT_EQ(texts, (std::vector<std::string>{kStarted, kTimedOut, kStopped}));
    EXPECT_EQ(scm.events[1].type, 1);
    EXPECT_EQ(states(), (std::vector<uint32_t>{kServiceRunning, kServiceStopPending, kServiceStopped}));
    // The worker is still in the application; when it ends it must not signal the closed event.
    expectQuietLateThreads();
}

TEST_F(ServiceRuntime, EveryStopControlStartsItsOwnStopperAndTimeOut) {
    s.mode = MainMode::RunsUntilStopped;
    s.stopsNeeded = 3;
    scm.sendControl(kServiceControlStop);
    scm.sendControl(kServiceControlInterrogate);
    scm.sendControl(kServiceControlStop);
    scm.sendControl(kServiceControlShutdown);
    runServiceDispatcher();
    EXPECT_EQ(s.count("stop main(-stop|now)"), 3);
    EXPECT_EQ(states(), (std::vector<uint32_t>{kServiceRunning, kServiceStopPending, kServiceStopPending,
                                               kServiceStopPending, kServiceStopPending, kServiceStopped}));
    // The interrogation reported the status as it stood.
    EXPECT_EQ(memcmp(&scm.statuses[2], &scm.statuses[1], sizeof scm.statuses[1]), 0);
    EXPECT_TRUE(scm.waitForTimeoutSleeps(3));
    EXPECT_EQ(scm.eventTexts(), (std::vector<std::string>{kStarted, kStopped}));
    expectQuietLateThreads();
}

TEST_F(ServiceRuntime, InterrogateReportsTheUnchangedStatus) {
    s.mode = MainMode::RunsUntilStopped;
    scm.sendControl(kServiceControlInterrogate);
    scm.sendControl(kServiceControlStop);
    runServiceDispatcher();
    ASSERT_EQ(states(), (std::vector<uint32_t>{kServiceRunning, kServiceRunning, kServiceStopPending, kServiceStopped}));
    EXPECT_EQ(memcmp(&scm.statuses[0], &scm.statuses[1], sizeof scm.statuses[0]), 0);
}

TEST_F(ServiceRuntime, StopBeforeTheJvmExistsWaitsForIt) {
    s.holdCreate = true;
    s.mode = MainMode::RunsUntilStopped;
    scm.sendControl(kServiceControlStop);
    std::thread releaser([this] {
        ASSERT_TRUE(scm.waitForStatuses(2));  // stop pending: the stopper is running
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        std::lock_guard<std::mutex> g(s.m);
        EXPECT_EQ(s.count("stop main(-stop|now)"), 0) << "stopper ran before the JVM existed";
        s.createReleased = true;
        s.cv.notify_all();
    });
    runServiceDispatcher();
    releaser.join();
    ASSERT_EQ(s.count("stop main(-stop|now)"), 1);
    EXPECT_GT(s.indexOf("stop main(-stop|now)"), s.indexOf("created"));
    EXPECT_EQ(scm.eventTexts(), (std::vector<std::string>{kStarted, kStopped}));
}

TEST_F(ServiceRuntime, StopBeforeAJvmThatNeverComesCallsNothing) {
    s.holdCreate = true;
    s.createResult = false;
    scm.sendControl(kServiceControlStop);
    std::thread releaser([this] {
        ASSERT_TRUE(scm.waitForStatuses(2));
        std::lock_guard<std::mutex> g(s.m);
        s.createReleased = true;
        s.cv.notify_all();
    });
    runServiceDispatcher();
    releaser.join();
    EXPECT_EQ(s.calls, (std::vector<std::string>{"create with console", "created"}));
    EXPECT_EQ(scm.eventTexts(), (std::vector<std::string>{kStarted, kFailed}));
    EXPECT_EQ(states(), (std::vector<uint32_t>{kServiceRunning, kServiceStopPending, kServiceStopped}));
    expectQuietLateThreads();
    EXPECT_EQ(s.count("stop main(-stop|now)"), 0);
}

TEST_F(ServiceRuntime, FailedJvmCreationOrMainLogsFailure) {
    s.createResult = false;
    runServiceDispatcher();
    EXPECT_EQ(s.count("destroy"), 0);
    EXPECT_EQ(scm.eventTexts(), (std::vector<std::string>{kStarted, kFailed}));
    EXPECT_EQ(scm.events[1].type, 1);
    EXPECT_EQ(states(), (std::vector<uint32_t>{kServiceRunning, kServiceStopped}));

    scm.statuses.clear();
    scm.events.clear();
    s.calls.clear();
    s.createResult = true;
    s.mainResult = false;
    runServiceDispatcher();
    EXPECT_EQ(s.count("destroy"), 1);
    EXPECT_EQ(scm.eventTexts(), (std::vector<std::string>{kStarted, kFailed}));
}

TEST_F(ServiceRuntime, RealJvmCreationFailingWithoutARuntimeIsLogged) {
    ServiceJava = defaultServiceJavaSteps();
    runServiceDispatcher();
    std::vector<std::string> texts = scm.eventTexts();
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts.front(), kStarted);
    EXPECT_EQ(texts.back(), kFailed);
    for (size_t i = 1; i + 1 < scm.events.size(); ++i) EXPECT_EQ(scm.events[i].type, 1) << scm.events[i].text;
    EXPECT_EQ(states(), (std::vector<uint32_t>{kServiceRunning, kServiceStopped}));
}

TEST_F(ServiceRuntime, UnregisterableEventSourceStillEndsTheService) {
    scm.eventSourceError = kErrorAccessDenied;
    runServiceDispatcher();
    ASSERT_EQ(scm.statuses.size(), 1u);
    EXPECT_EQ(scm.statuses[0].dwCurrentState, kServiceStopped);
    EXPECT_EQ(scm.statuses[0].dwServiceType, kServiceWin32OwnProcess);
    EXPECT_TRUE(scm.events.empty());
    EXPECT_EQ(scm.threadsStarted, 0);
    EXPECT_TRUE(s.calls.empty());
}

TEST_F(ServiceRuntime, StartedByHandLogsTheDispatcherErrorOnly) {
    scm.dispatcherError = kErrorFailedServiceControllerConnect;
    runServiceDispatcher();
    EXPECT_EQ(State.RunMode, RunModeKind::Service);
    ASSERT_EQ(scm.events.size(), 1u);
    EXPECT_EQ(scm.events[0].text, "System text 1063.\r\n");
    EXPECT_EQ(scm.events[0].type, 1);
    EXPECT_EQ(scm.eventSourcesDeregistered, 1);
    EXPECT_TRUE(w.console.empty());
    EXPECT_TRUE(s.calls.empty());

    scm.events.clear();
    scm.eventSourceError = kErrorAccessDenied;
    runServiceDispatcher();
    EXPECT_TRUE(scm.events.empty());
    EXPECT_TRUE(w.console.empty());
}

TEST_F(ServiceRuntime, EventOrWorkerThatCannotBeCreatedIsReportedWithoutWaiting) {
    scm.createEventError = 8;
    runServiceDispatcher();
    EXPECT_EQ(scm.eventTexts(), (std::vector<std::string>{kStarted, "System text 8.\r\n", kFailed}));
    EXPECT_EQ(states(), (std::vector<uint32_t>{kServiceRunning, kServiceStopped}));

    scm.createEventError = 0;
    scm.events.clear();
    scm.statuses.clear();
    scm.failingThreads[serviceWorkerThread] = 9;
    runServiceDispatcher();
    EXPECT_EQ(scm.eventTexts(), (std::vector<std::string>{kStarted, "System text 9.\r\n", kFailed}));
    EXPECT_EQ(states(), (std::vector<uint32_t>{kServiceRunning, kServiceStopped}));
    EXPECT_EQ(scm.threadsStarted, 0);
}

TEST_F(ServiceRuntime, StopperThatCannotStartLeavesItToTheTimeOut) {
    s.mode = MainMode::RunsUntilStopped;
    scm.failingThreads[serviceStopperThread] = 8;
    std::thread releaser = releaseTimeoutsOnceMainRuns();
    scm.sendControl(kServiceControlStop);
    runServiceDispatcher();
    releaser.join();
    EXPECT_EQ(scm.eventTexts(), (std::vector<std::string>{kStarted, "System text 8.\r\n", kTimedOut, kStopped}));
    expectQuietLateThreads();
}

TEST_F(ServiceRuntime, TimeOutThatCannotStartStopsTheServiceAtOnce) {
    s.mode = MainMode::IgnoresStop;
    scm.failingThreads[serviceStopTimeoutThread] = 8;
    std::thread stopper([this] {
        waitForMain();
        scm.sendControl(kServiceControlStop);
    });
    runServiceDispatcher();
    stopper.join();
    EXPECT_EQ(scm.eventTexts(), (std::vector<std::string>{kStarted, "System text 8.\r\n", kStopped}));
    EXPECT_EQ(states(), (std::vector<uint32_t>{kServiceRunning, kServiceStopPending, kServiceStopped}));
    expectQuietLateThreads();
}

TEST_F(ServiceRuntime, ControlAfterTheServiceEndedChangesNothing) {
    runServiceDispatcher();
    size_t statuses = scm.statuses.size();
    int threads = scm.threadsStarted;
    serviceControlHandler(kServiceControlStop);
    serviceControlHandler(kServiceControlInterrogate);
    EXPECT_EQ(scm.statuses.size(), statuses);
    EXPECT_EQ(scm.threadsStarted, threads);
}

}  // namespace
