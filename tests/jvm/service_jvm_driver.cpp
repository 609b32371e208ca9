// The service runtime against the real OpenJDK 17 under a fake service control manager, one
// scenario (and JVM) per process: stop_by_main, several_stops (three controls, a stopper each),
// stop_before_jvm (handled before the JVM exists), stop_by_exit (ServiceStopByExit: System.exit
// ends the process after the exit hook reported the service stopped), stop_after_end (a stop
// once the application ended by itself and its JVM is gone).
// Usage: service_jvm_driver SCENARIO CLASSES_DIR LIBJVM WORK_DIR; prints "service-jvm: ok".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fakes/fake_service.h"
#include "core/config.h"
#include "core/state.h"
#include "platform/platform.h"
#include "service/runtime.h"

namespace {

FakeServiceManager* scm;
std::string recordFile;
int failures;

void check(bool ok, const std::string& what) {
    if (!ok) {
        ++failures;
        printf("FAILED: %s\n", what.c_str());
    }
}

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int countOf(const std::vector<std::string>& lines, const std::string& line) {
    int n = 0;
    for (const std::string& l : lines) n += l == line;
    return n;
}

std::string describe(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += "\n    " + l;
    return s;
}

// The entries' default texts, then the test's own settings.
int defaultString(unsigned id, char* buffer, int size) {
    const EntryInfo* e = findEntry(id);
    if (!e || !e->defaultText[0] || size <= 0) return 0;
    snprintf(buffer, static_cast<size_t>(size), "%s", e->defaultText);
    return static_cast<int>(strlen(buffer));
}

char* text(const std::string& s) { return strdup(s.c_str()); }

void configure(const std::string& classes, const std::string& libjvm) {
    Platform.loadString = defaultString;
    loadConfiguration();
    Platform.loadString = defaultPlatformOps().loadString;
    Config.ServiceName = text("VarnletServiceTest");
    Config.JvmPath = text(libjvm);
    Config.ClassPath = text(classes);
    Config.MainClass = text("varnlet/service/ServiceApp");
    Config.JvmOptions = text("-Xmx64m -Dvarnlet.service.record=" + recordFile);
    Config.ServiceStartOptions = text("start \"a b\" c");
    Config.ServiceStopOptions = text("stop now");
}

// Sends `count` stop controls once the application's main has run.
std::thread stopWhenStarted(int count) {
    return std::thread([count] {
        for (int i = 0; i < 600 && countOf(readLines(recordFile), "main(start|a b|c) on main") == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (int i = 0; i < count; ++i) scm->sendControl(kServiceControlStop);
    });
}

// createJvm only once the stop control has been handled, so the stop comes before the JVM.
bool createJvmAfterStop(bool withConsole) {
    check(scm->waitForStatuses(2, 60000), "stop pending reported before the JVM is created");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the stopper is waiting by now
    return defaultServiceJavaSteps().createJvm(withConsole);
}

// The statuses, event log and application record of a run stopped by `stops` controls, of which
// `stopMains` ran the second main; the worker ends unless System.exit ended the application.
void checkStopped(int stops, int stopMains, bool workerEnds) {
    std::unique_lock<std::mutex> guard;
    if (workerEnds) guard = scm->lock();  // no lock as the process ends
    std::vector<uint32_t> states, expected{kServiceRunning};
    expected.insert(expected.end(), static_cast<size_t>(stops), kServiceStopPending);
    expected.push_back(kServiceStopped);
    for (const ServiceStatusRecord& r : scm->statuses) {
        states.push_back(r.dwCurrentState);
        check(r.dwControlsAccepted == 5 && r.dwWin32ExitCode == 0 && r.dwServiceType == kServiceWin32OwnProcess,
              "status fields");
        check(r.dwWaitHint == (r.dwCurrentState == kServiceStopPending ? serviceStopWaitHintMs() : 0), "wait hint");
    }
    check(states == expected, "status sequence running, stop pending x" + std::to_string(stops) + ", stopped");
    if (guard) guard.unlock();
    std::vector<std::string> events = scm->eventTexts();
    check(events == std::vector<std::string>{"The VarnletServiceTest service has started.",
                                             "The VarnletServiceTest service has stopped."},
          "event log 1680 then 1696:" + describe(events));
    std::vector<std::string> lines = readLines(recordFile);
    check(countOf(lines, "main(start|a b|c) on main") == 1, "start main with the start options:" + describe(lines));
    check(countOf(lines, "main(stop|now) on Varnlet stopper thread") == stopMains,
          "stop main on the stopper thread, once per control:" + describe(lines));
    check(countOf(lines, "worker ends") == (workerEnds ? 1 : 0), "the application's non-daemon thread ended");
    check(countOf(lines, "shutdown hook") == 1, "the JVM shut down, running its hooks");
}

// The stop control once the application has ended by itself and DestroyJavaVM is over.
void destroyThenStop() {
    defaultServiceJavaSteps().destroyJvm();
    scm->sendControl(kServiceControlStop);
    check(scm->waitForStatuses(2, 60000), "stop pending after the JVM's end");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the stopper has tried by now
}

void exitCheck() {  // as the process ends, after System.exit(0) and the JVM's exit hook
    checkStopped(1, 0, false);
    printf("%s\n", failures ? "service-jvm: FAILED" : "service-jvm: ok");
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: %s SCENARIO CLASSES_DIR LIBJVM WORK_DIR\n", argv[0]);
        return 2;
    }
    std::string scenario = argv[1];
    recordFile = std::string(argv[4]) + "/" + scenario + ".record";
    remove(recordFile.c_str());
    FakeServiceManager fake(false);
    scm = &fake;
    configure(argv[2], argv[3]);

    std::thread controller;
    int stops = 1;
    if (scenario == "stop_by_main") {
        controller = stopWhenStarted(1);
    } else if (scenario == "several_stops") {
        stops = 3;
        Config.JvmOptions = text(std::string(Config.JvmOptions) + " -Dvarnlet.service.stops=3");
        controller = stopWhenStarted(3);
    } else if (scenario == "stop_before_jvm") {
        ServiceJava.createJvm = createJvmAfterStop;
        fake.sendControl(kServiceControlStop);
    } else if (scenario == "stop_by_exit") {
        Config.ServiceStopByExit = true;
        atexit(exitCheck);
        controller = stopWhenStarted(1);
    } else if (scenario == "stop_after_end") {
        Config.JvmOptions = text(std::string(Config.JvmOptions) + " -Dvarnlet.service.stops=0");
        ServiceJava.destroyJvm = destroyThenStop;
    } else {
        fprintf(stderr, "unknown scenario %s\n", scenario.c_str());
        return 2;
    }

    runServiceDispatcher();
    if (controller.joinable()) controller.join();
    if (scenario == "stop_by_exit") {
        printf("FAILED: the process outlived System.exit\n");
        return 1;
    }
    // After the application's own end, a stop is clean: no attach failure, no failure logged.
    checkStopped(stops, scenario == "stop_after_end" ? 0 : stops, true);
    check(fake.faults.empty(), "no misuse of events or sources");
    printf("%s\n", failures ? "service-jvm: FAILED" : "service-jvm: ok");
    return failures ? 1 : 0;
}
