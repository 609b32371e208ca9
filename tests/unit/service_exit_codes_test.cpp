// What the service manager learns of each way a service run ends: the status sequence,
// the final exit codes and the event log, with scripted Java steps in place of the JVM.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fakes/fake_platform.h"
#include "fakes/fake_service.h"
#include "core/config.h"
#include "core/state.h"
#include "invoke/jni_utils.h"
#include "service/exit_codes.h"
#include "service/runtime.h"

namespace {

enum class Ends { ByItself, CreateFails, MainFails, StopByMain, StopByExit, StopTimesOut, ExitsWithFailure, StopMeetsEnd };

struct Row {
    const char* name;
    Ends ends;
    std::vector<uint32_t> states;
    uint32_t win32Code, specificCode;
    std::vector<unsigned> messages;
};

std::mutex m;
std::condition_variable cv;
Ends mode;
bool stopped, released, stopperDone;
FakeServiceManager* scm;

void callExitHook(jint code) { reinterpret_cast<void(JNICALL*)(jint)>(State.JvmExitHook)(code); }

void signal(bool* flag) {
    std::lock_guard<std::mutex> g(m);
    *flag = true;
    cv.notify_all();
}

void waitFor(bool* flag) {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [flag] { return *flag || released; });
}

bool create(bool) { return mode != Ends::CreateFails; }

bool invoke(int, char**, bool attach) {
    if (attach) {
        bool ok = true;
        if (mode == Ends::StopMeetsEnd) {  // the JVM is gone: the real attach finds nothing
            JavaVM* jvm = nullptr;
            JNIEnv* env = nullptr;
            ok = attachStopperThread(&jvm, &env);
        }
        signal(&stopped);
        signal(&stopperDone);
        return ok;
    }
    if (mode == Ends::MainFails) return false;
    if (mode == Ends::ExitsWithFailure) callExitHook(3);  // System.exit(3) by the application
    if (mode == Ends::StopByMain || mode == Ends::StopByExit) waitFor(&stopped);
    if (mode == Ends::StopTimesOut) waitFor(&released);
    return true;
}

void destroy() {
    if (mode != Ends::StopMeetsEnd) return;
    // The stop arrives once the application has ended by itself and its JVM is gone.
    scm->sendControl(kServiceControlStop);
    waitFor(&stopperDone);
}

bool exitStep() {
    callExitHook(0);  // the JVM calls its exit hook inside System.exit(0)
    signal(&stopped);
    return true;
}

const uint32_t R = kServiceRunning, P = kServiceStopPending, S = kServiceStopped;
const uint32_t kSpecific = kErrorServiceSpecificError;

const Row kRows[] = {
    {"ByItself", Ends::ByItself, {R, S}, 0, 0, {MsgServiceStarted, MsgServiceStopped}},
    {"CreateFails", Ends::CreateFails, {R, S}, kSpecific, kServiceExitJvmFailed, {MsgServiceStarted, MsgServiceFailed}},
    {"MainFails", Ends::MainFails, {R, S}, kSpecific, kServiceExitAppFailed, {MsgServiceStarted, MsgServiceFailed}},
    {"StopByMain", Ends::StopByMain, {R, P, S}, 0, 0, {MsgServiceStarted, MsgServiceStopped}},
    {"StopByExit", Ends::StopByExit, {R, P, S}, 0, 0, {MsgServiceStarted, MsgServiceStopped}},
    {"StopTimesOut", Ends::StopTimesOut, {R, P, S}, kSpecific, kServiceExitStopTimeout,
     {MsgServiceStarted, MsgServiceTimeout, MsgServiceStopped}},
    {"ExitsWithFailure", Ends::ExitsWithFailure, {R, S}, kSpecific, kServiceExitAppFailed,
     {MsgServiceStarted, MsgServiceFailed}},
    {"StopMeetsEnd", Ends::StopMeetsEnd, {R, P, S}, 0, 0, {MsgServiceStarted, MsgServiceStopped}},
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class ServiceEnds : public ::testing::TestWithParam<Row> {};

TEST_P(ServiceEnds, Reported) {
    const Row& row = GetParam();
    FakePlatform platform;
    FakeWorld& w = platform.world();
    FakeServiceManager fake;
    scm = &fake;
    loadDefaultStrings(w);
    w.strings[1248] = "Demo";
    w.strings[1312] = row.ends == Ends::StopByExit ? "1" : "0";
    w.strings[1856] = "5";
    loadConfiguration();
    mode = row.ends;
    stopped = released = stopperDone = false;
    ServiceJava = ServiceJavaSteps{create, invoke, destroy, exitStep};

    std::thread timeouts;
    bool stops = row.states.size() == 3 && row.ends != Ends::StopMeetsEnd;
    if (stops) fake.sendControl(kServiceControlStop);
    if (row.ends == Ends::StopTimesOut)
        timeouts = std::thread([&fake] {
            if (fake.waitForTimeoutSleeps(1)) fake.releaseTimeouts();
        });
    runServiceDispatcher();
    if (timeouts.joinable()) timeouts.join();
    signal(&released);
    fake.releaseTimeouts();
    ASSERT_TRUE(fake.waitForThreads());
    ServiceJava = defaultServiceJavaSteps();

    std::vector<uint32_t> states;
    for (const ServiceStatusRecord& r : fake.statuses) states.push_back(r.dwCurrentState);
    EXPECT_EQ(states, row.states);
    const ServiceStatusRecord& last = fake.statuses.back();
    EXPECT_EQ(last.dwWin32ExitCode, row.win32Code);
    EXPECT_EQ(last.dwServiceSpecificExitCode, row.specificCode);
    if (states.size() == 3) {
        EXPECT_EQ(fake.statuses[1].dwWaitHint, 15000u);  // the 5 s time-out and 10 s
    }
    std::vector<std::string> expected;
    for (unsigned id : row.messages) {
        char text[200];
        snprintf(text, sizeof text, message(id), "Demo");
        expected.push_back(text);
    }
    EXPECT_EQ(fake.eventTexts(), expected);
    EXPECT_TRUE(fake.faults.empty());
    scm = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Table, ServiceEnds, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& row) { return std::string(row.param.name); });

}  // namespace
