// Every call to the system that can fail, failed in turn, in three runs a user meets: a console
// start up to the application's main, a service installed and removed while it runs, and a
// service run stopped by the manager. Each run must end, and a run that fails must say so: an
// error line, a message box or an error event.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <thread>

#include "entries/entries.h"
#include "fakes/fake_jvm.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_service_manager.h"
#include "fakes/faulty_platform.h"
#include "launcher/dispatch.h"
#include "service/runtime.h"

namespace {

// The fakes a run starts from; message boxes are recorded like console lines.
struct Scene {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    FakeJvm jvm;
    FakeServiceManager scm;
    std::vector<std::string> boxes;
    Scene() {
        w.strings[kEntryJvmPath] = "C:\\jdk\\jvm.dll";
        w.readableFiles.insert("C:\\jdk\\jvm.dll");
        w.strings[kEntryServiceName] = "Demo";  // a service, for the switches
        Platform.files.kind = [](const char*) { return FileKind::File; };  // the class path's archive is there
        static Scene* scene;
        scene = this;
        Platform.desktop.showMessageBox = [](const char*, const char* text, BoxKind) { return scene->boxes.push_back(text), true; };
    }
    // A failed read of a service switch or name reads as none: the switch then goes to main.
    bool mainRan() {
        return std::any_of(jvm.calls.begin(), jvm.calls.end(), [](const std::string& c) { return c.find(".main([") != c.npos; });
    }
    int launch(const char* argument) {
        std::string exe = "C:\\apps\\demo\\varnlet.exe", given = argument;
        char* argv[] = {&exe[0], &given[0], nullptr};
        return launcherMain(*argument ? 2 : 1, argv);
    }
};

// The scripted Java steps of the service: main runs until the stop call.
std::atomic<int> mains, stops;
std::atomic<bool> released;
bool invoke(int, char**, bool attach) {
    if (attach) return ++stops, true;
    ++mains;
    waitFor([] { return stops > 0 || released; });
    return true;
}
const ServiceJavaSteps kSteps{[](bool) { return true; }, invoke, [] {}, [] { return ++stops, true; }};

// Each scenario runs under the wrapper and tells whether the run failed, a success that did
// nothing counting as a failure.
bool consoleStart(Scene& s) { return s.launch("") != 0 || !s.mainRan(); }
// The service installed, then removed while it runs (stopped first).
bool installAndRemove(Scene& s) {
    if (s.launch("-install") != 0 || !(s.scm.services.count("Demo") || s.mainRan())) return true;
    if (s.mainRan()) return false;  // the switch went to main
    s.scm.serviceStates["Demo"] = ServiceState::Running;
    return s.launch("-uninstall") != 0 || (s.scm.services.count("Demo") && !s.mainRan());
}

bool serviceRun(Scene& s) {
    mains = stops = 0;
    released = false;
    ServiceJava = kSteps;
    std::atomic<bool> ended{false};
    std::thread manager([&] {
        if (waitFor([&] { return mains > 0 || ended; }) && !ended) serviceControlHandler(ServiceControl::Stop);
        // The stop time-out passes only when a thread could not start (the stopper, say).
        waitFor([&] { return ended || std::string(FaultyPlatform::failedSlot()) == "threads.create"; });
        s.scm.timeoutsReleased = true;
    });
    s.launch("-startlauncherinservicemode");
    ended = true;
    manager.join();
    released = s.scm.timeoutsReleased = true;
    waitFor([&] { return s.scm.liveThreads == 0; });
    ServiceJava = defaultServiceJavaSteps();
    const std::vector<ServiceStatus>& st = s.scm.statuses;
    bool stoppedWell = !st.empty() && st.back().state == ServiceState::Stopped && st.back().exitCode == 0;
    return !s.mainRan() && !(mains && stoppedWell);
}

struct Outcome {
    bool failed, reported;
    uint64_t calls;
    std::string slot, misuse;
};

Outcome runOnce(bool (*scenario)(Scene&), uint64_t failAt) {
    Scene s;
    Outcome o{};
    {
        FaultyPlatform faults(failAt);
        o.failed = scenario(s);
        o.calls = faults.calls();
        o.slot = faults.failedSlot();
    }
    o.reported = !s.boxes.empty();
    for (const ConsoleLine& line : s.w.console) o.reported |= line.toError;
    for (const std::string& event : s.scm.events) o.reported |= event.rfind("error: ", 0) == 0;
    // Without an event source the stopped status's exit code is all that can tell.
    o.reported |= o.slot == "eventLog.registerSource" && !s.scm.statuses.empty() && s.scm.statuses.back().exitCode;
    // The fake manager's own checks, named here with the failed call rather than at its end.
    for (const std::string& fault : s.scm.faults) o.misuse += fault + "; ";
    s.scm.faults.clear();
    return o;
}

// A run that hangs ends the test program within seconds instead of holding up the others.
Outcome runBounded(bool (*scenario)(Scene&), uint64_t failAt) {
    std::packaged_task<Outcome()> task([=] { return runOnce(scenario, failAt); });
    std::future<Outcome> outcome = task.get_future();
    std::thread run(std::move(task));
    if (outcome.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
        std::fprintf(stderr, "The run hangs with call %llu (%s) failed.\n", static_cast<unsigned long long>(failAt),
                     FaultyPlatform::failedSlot());
        std::_Exit(1);
    }
    run.join();
    return outcome.get();
}

struct Sweep {
    const char* name;
    bool (*scenario)(Scene&);
};
void PrintTo(const Sweep& sweep, std::ostream* os) { *os << sweep.name; }
const Sweep kSweeps[] = {{"ConsoleStart", consoleStart}, {"Install", installAndRemove}, {"ServiceRun", serviceRun}};

struct FaultSweep : ::testing::TestWithParam<Sweep> {};

TEST_P(FaultSweep, EveryFailedCallEndsTheRunWithAReport) {
    Outcome clean = runBounded(GetParam().scenario, 0);
    ASSERT_FALSE(clean.failed);
    ASSERT_GT(clean.calls, 0u);
    EXPECT_EQ(clean.misuse, "");
    std::printf("%s: %llu calls\n", GetParam().name, static_cast<unsigned long long>(clean.calls));
    for (uint64_t n = 1; n <= clean.calls; ++n) {
        Outcome o = runBounded(GetParam().scenario, n);
        EXPECT_TRUE(!o.failed || o.reported) << "silent failure, call " << n << ": " << o.slot;
        EXPECT_EQ(o.misuse, "") << "call " << n << ": " << o.slot;
    }
}
INSTANTIATE_TEST_SUITE_P(Runs, FaultSweep, ::testing::ValuesIn(kSweeps),
                         [](const ::testing::TestParamInfo<Sweep>& p) { return std::string(p.param.name); });

}  // namespace
