// Installing and removing the service: what the service manager and the registry hold, the
// settings handed over, what the user is told on failure, and refusal of texts that do not fit.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "fakes/fake_platform.h"
#include "fakes/fake_service.h"
#include "core/config.h"
#include "core/state.h"
#include "launcher/dispatch.h"
#include "service/install.h"

namespace {

const std::string kEventKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Demo";
const std::string kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\Demo";
const std::string kDenied = "! System text 5.\r\n";

struct ServiceInstall : ::testing::Test {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    FakeServiceManager scm;

    void SetUp() override {
        loadDefaultStrings(w);
        w.strings[1248] = "Demo";
        loadConfiguration();
    }
    void TearDown() override {
        EXPECT_EQ(scm.openHandles(), 0);
        EXPECT_TRUE(scm.faults.empty());
    }
    // What the user was told since the last call, errors marked "! ".
    std::string told() {
        std::string s;
        for (const ConsoleLine& l : w.console) s += (l.toError ? "! " : "") + l.text;
        w.console.clear();
        return s;
    }
    std::string dispatch(const char* argument) {
        loadConfiguration();
        char program[] = "varnlet.exe";
        std::string a = argument;
        char* argv[] = {program, &a[0]};
        EXPECT_TRUE(dispatchCommandLine(2, argv));
        return told();
    }
    void installExisting() { scm.services["Demo"] = FakeServiceEntry{2, "x"}; }
};

TEST_F(ServiceInstall, QueryTellsInstalledMissingAndFailedKeepingTheFailuresError) {
    EXPECT_EQ(isServiceInstalled("Demo"), 0);
    EXPECT_EQ(Platform.getLastError(), kErrorServiceDoesNotExist);
    installExisting();
    EXPECT_EQ(isServiceInstalled("Demo"), 1);
    for (uint32_t* failing : {&scm.openServiceError, &scm.openScManagerError}) {
        *failing = kErrorAccessDenied;
        EXPECT_EQ(isServiceInstalled("Demo"), -1);
        // Closing the manager handle resets the error; the query's own error must survive it.
        EXPECT_EQ(Platform.getLastError(), kErrorAccessDenied);
    }
    EXPECT_EQ(installService("Demo", ""), -1);
}

TEST_F(ServiceInstall, InstallAndUninstallTwiceThroughTheCommandLine) {
    w.strings[1264] = "";
    EXPECT_EQ(dispatch("-install"), "Service installed: Demo");
    const FakeServiceEntry& s = scm.services["Demo"];
    EXPECT_EQ(s.startType, kServiceAutoStart);
    EXPECT_EQ(s.binaryPath, "\"C:\\apps\\demo\\varnlet.exe\" -startlauncherinservicemode");
    auto& values = scm.registry[kEventKey];
    EXPECT_EQ(values["EventMessageFile"].type, kRegExpandSz);
    EXPECT_EQ(values["EventMessageFile"].data, std::string("C:\\apps\\demo\\varnlet.exe", 25));
    EXPECT_EQ(values["TypesSupported"].type, kRegDword);
    EXPECT_EQ(values["TypesSupported"].data, std::string("\x07\0\0\0", 4));  // error, warning, information
    EXPECT_EQ(scm.registry[kServiceKey].count("Description"), 0u);
    EXPECT_TRUE(scm.settings["Demo"].empty());

    EXPECT_EQ(dispatch("-install"), "! Service is already installed: Demo");
    EXPECT_EQ(dispatch("-uninstall"), "Service uninstalled: Demo");
    EXPECT_TRUE(scm.services.empty());
    EXPECT_EQ(scm.registry[kEventKey].size(), 2u);  // the event log source stays
    EXPECT_EQ(dispatch("-uninstall"), "! System text 1060.\r\n");
}

TEST_F(ServiceInstall, ManualStartDescriptionPathWithBlanksAndSettings) {
    w.modulePath = "C:\\Program Files\\My App\\varnlet.exe";
    for (auto entry : {std::make_pair(1264u, "Runs the demo"), {1328u, "1"}, {1760u, "60"}, {1776u, "2"},
                       {1792u, "3600"}, {1808u, "1"}, {1824u, "Tcpip; ;EventLog"}, {1840u, "localservice"}})
        w.strings[entry.first] = entry.second;
    EXPECT_EQ(dispatch("-install"), "Service installed: Demo");
    EXPECT_EQ(scm.services["Demo"].startType, kServiceDemandStart);
    EXPECT_EQ(scm.services["Demo"].binaryPath, "\"C:\\Program Files\\My App\\varnlet.exe\" -startlauncherinservicemode");
    const FakeRegistryValue& d = scm.registry[kServiceKey]["Description"];
    EXPECT_EQ(d.type, kRegExpandSz);
    EXPECT_EQ(d.data, std::string("Runs the demo", sizeof "Runs the demo"));
    EXPECT_EQ(scm.settings["Demo"], (std::vector<std::string>{
        "dependencies=Tcpip|EventLog| account=NT AUTHORITY\\LocalService", "restart=3600,60000,2"}));
    scm.services.clear();
    scm.settings.clear();
    w.strings[1328] = "0";
    EXPECT_EQ(dispatch("-install"), "Service installed: Demo");
    EXPECT_EQ(scm.settings["Demo"][1], "delayed=1");
}

TEST_F(ServiceInstall, FailuresAreToldWithTheSystemTextAndKeepWhatWasDone) {
    using Fake = FakeServiceManager;
    const struct {
        const char* argument;
        std::function<void(Fake&)> arrange;
        size_t services;
        const char* eventLogValues;  // names of the values written under the event log key
    } cases[] = {
        {"-install", [](Fake& f) { f.openScManagerError = kErrorAccessDenied; }, 0, ""},
        {"-uninstall", [](Fake& f) { f.openScManagerError = kErrorAccessDenied; }, 0, ""},
        {"-install", [](Fake& f) { f.createServiceError = kErrorAccessDenied; }, 0, ""},
        {"-install", [](Fake& f) { f.createKeyStatus = kErrorAccessDenied; }, 1, ""},
        {"-install", [](Fake& f) {
             Platform.setLastError(1234);  // an unrelated last error must not be what is shown
             f.setValueStatus["TypesSupported"] = kErrorAccessDenied;
         }, 1, "EventMessageFile"},
        {"-uninstall", [](Fake& f) {
             f.services["Demo"] = FakeServiceEntry{2, "x"};
             f.deleteServiceError = kErrorAccessDenied;
         }, 1, ""},
    };
    w.strings[1264] = "text";
    for (const auto& c : cases) {
        Fake fake;
        c.arrange(fake);
        EXPECT_EQ(dispatch(c.argument), kDenied) << c.argument;
        EXPECT_EQ(fake.services.size(), c.services) << c.argument;
        std::string names;
        for (auto& v : fake.registry[kEventKey]) names += v.first;
        EXPECT_EQ(names, c.eventLogValues);
        EXPECT_EQ(fake.registry[kServiceKey].count("Description"), 0u);
        EXPECT_EQ(fake.openHandles(), 0);
    }
}

TEST_F(ServiceInstall, WritingUnderAMissingKeyTellsTheOpenFailure) {
    long status = 0;
    EXPECT_EQ(writeRegistryString(RegistryRoot::LocalMachine, "Missing", "V", "t", &status), -1);
    EXPECT_EQ(status, static_cast<long>(kErrorFileNotFound));
}

TEST_F(ServiceInstall, TextsThatDoNotFitAreRefusedBeforeAnythingChanges) {
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
    EXPECT_TRUE(scm.services.empty());
    EXPECT_TRUE(scm.registry.empty());
}

TEST_F(ServiceInstall, OnlyOneArgumentEqualToASwitchIsAServiceOperation) {
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "C:\\apps\\demo\\varnlet.exe");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(&a[0]);
        resetLauncherRecords();
        w.console.clear();
        w.currentDirectory = "C:\\start";
        return launcherMain(static_cast<int>(argv.size()), argv.data());
    };
    // Other case, a second argument, a trailing blank, none: arguments for main (no JVM here).
    for (auto args : std::vector<std::vector<std::string>>{{"-INSTALL"}, {"-install", "x"}, {"-install "}, {}})
        EXPECT_EQ(run(args), -1);
    w.strings[1248] = "";
    EXPECT_EQ(run({"-install"}), -1);
    EXPECT_TRUE(scm.services.empty());
    // The first switch that matches wins.
    w.strings[1248] = "Demo";
    w.strings[1120] = "-install";
    EXPECT_EQ(run({"-install"}), 0);
    EXPECT_EQ(scm.services.count("Demo"), 1u);
    EXPECT_STREQ(State.StartupDir, "C:\\start");
    // The service switch hands over to the dispatcher (started by hand here: it says so).
    scm.dispatcherError = kErrorFailedServiceControllerConnect;
    EXPECT_EQ(run({"-startlauncherinservicemode"}), 0);
    EXPECT_EQ(State.RunMode, RunModeKind::Service);
    EXPECT_TRUE(w.console.empty());
    // An unreadable start-up directory ends the run before anything else, with exit code 0.
    w.currentDirectoryError = 5;
    EXPECT_EQ(run({"-uninstall"}), 0);
    std::string s = told();
    EXPECT_EQ(s.substr(s.rfind("! ")), "! Error accessing file/directory: CURRENT_DIR");
    EXPECT_EQ(scm.services.count("Demo"), 1u);
}

}  // namespace
