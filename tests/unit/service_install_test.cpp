// Installing and removing the service: what reaches the service manager and the registry,
// the reports on failure, refusal of texts that do not fit, and the POSIX backend's answer.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
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

struct ServiceInstall : ::testing::Test {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    FakeServiceManager scm;

    void SetUp() override {
        loadDefaultStrings(w);
        w.strings[1248] = "Demo";
        loadConfiguration();
    }
    std::vector<std::string> errors() {
        std::vector<std::string> lines;
        for (const ConsoleLine& l : w.console) {
            EXPECT_TRUE(l.toError) << "unexpected output: " << l.text;
            lines.push_back(l.text);
        }
        return lines;
    }
    bool dispatch(const char* argument) {
        char program[] = "varnlet.exe";
        std::string a = argument;
        char* argv[] = {program, &a[0]};
        return dispatchCommandLine(2, argv);
    }
    void installExisting() { scm.services["Demo"] = FakeServiceEntry{"Demo", 0, 0x10, 2, 1, "x"}; }
};

TEST_F(ServiceInstall, QueryTellsInstalledMissingAndFailedKeepingTheFailuresError) {
    EXPECT_EQ(isServiceInstalled("Demo"), 0);
    EXPECT_EQ(Platform.getLastError(), kErrorServiceDoesNotExist);

    installExisting();
    EXPECT_EQ(isServiceInstalled("Demo"), 1);
    EXPECT_EQ(scm.scManagerAccess.back(), kScManagerCreateService);
    EXPECT_EQ(scm.serviceAccess.back(), kServiceQueryConfig);

    scm.openServiceError = kErrorAccessDenied;
    EXPECT_EQ(isServiceInstalled("Demo"), -1);
    // Closing the manager handle resets the error; the query's own error must survive it.
    EXPECT_EQ(Platform.getLastError(), kErrorAccessDenied);

    scm.openServiceError = 0;
    scm.openScManagerError = kErrorAccessDenied;
    EXPECT_EQ(isServiceInstalled("Demo"), -1);
    EXPECT_EQ(Platform.getLastError(), kErrorAccessDenied);
    EXPECT_EQ(scm.openServiceHandles(), 0);
    EXPECT_TRUE(scm.faults.empty());
}

TEST_F(ServiceInstall, InstallCreatesTheServiceAndItsEventLogSource) {
    ASSERT_EQ(installService("Demo", ""), 0);
    ASSERT_EQ(scm.services.count("Demo"), 1u);
    const FakeServiceEntry& s = scm.services["Demo"];
    EXPECT_EQ(s.displayName, "Demo");
    EXPECT_EQ(s.access, kServiceAllAccess);
    EXPECT_EQ(s.serviceType, kServiceWin32OwnProcess);
    EXPECT_EQ(s.startType, kServiceAutoStart);
    EXPECT_EQ(s.errorControl, kServiceErrorNormal);
    EXPECT_EQ(s.binaryPath, "\"C:\\apps\\demo\\varnlet.exe\" -startlauncherinservicemode");

    const auto& values = scm.registry[kEventKey];
    ASSERT_EQ(values.count("EventMessageFile"), 1u);
    EXPECT_EQ(values.at("EventMessageFile").type, kRegExpandSz);
    EXPECT_EQ(values.at("EventMessageFile").data, std::string("C:\\apps\\demo\\varnlet.exe", sizeof "C:\\apps\\demo\\varnlet.exe"));
    ASSERT_EQ(values.count("TypesSupported"), 1u);
    EXPECT_EQ(values.at("TypesSupported").type, kRegDword);
    uint32_t types = 0;
    ASSERT_EQ(values.at("TypesSupported").data.size(), 4u);
    memcpy(&types, values.at("TypesSupported").data.data(), 4);
    EXPECT_EQ(types, 7u);
    EXPECT_EQ(scm.registry[kServiceKey].count("Description"), 0u);
    EXPECT_EQ(scm.openServiceHandles(), 0);
    EXPECT_EQ(scm.openRegistryKeys(), 0);
    EXPECT_TRUE(w.console.empty());
}

TEST_F(ServiceInstall, ManualStartDescriptionAndPathWithBlanks) {
    Config.ServiceManualStart = true;
    w.modulePath = "C:\\Program Files\\My App\\varnlet.exe";
    ASSERT_EQ(installService("Demo", "Runs the demo"), 0);
    EXPECT_EQ(scm.services["Demo"].startType, kServiceDemandStart);
    EXPECT_EQ(scm.services["Demo"].binaryPath,
              "\"C:\\Program Files\\My App\\varnlet.exe\" -startlauncherinservicemode");
    const FakeRegistryValue& d = scm.registry[kServiceKey]["Description"];
    EXPECT_EQ(d.type, kRegExpandSz);
    EXPECT_EQ(d.data, std::string("Runs the demo", sizeof "Runs the demo"));
}

TEST_F(ServiceInstall, ServiceManagerFailuresAreReportedWithTheSystemText) {
    scm.openScManagerError = kErrorAccessDenied;
    EXPECT_EQ(installService("Demo", ""), -1);
    EXPECT_EQ(uninstallService("Demo"), -1);
    EXPECT_EQ(errors(), (std::vector<std::string>{"System text 5.\r\n", "System text 5.\r\n"}));

    w.console.clear();
    scm.openScManagerError = 0;
    scm.createServiceError = kErrorAccessDenied;
    EXPECT_EQ(installService("Demo", ""), -1);
    EXPECT_EQ(errors(), std::vector<std::string>{"System text 5.\r\n"});
    EXPECT_TRUE(scm.registry.empty());
    EXPECT_EQ(scm.openServiceHandles(), 0);
}

TEST_F(ServiceInstall, RegistryFailureReportsTheRegistryStatusAndKeepsWhatWasDone) {
    Platform.setLastError(1234);  // an unrelated last error must not be what is shown
    scm.setValueStatus["TypesSupported"] = kErrorAccessDenied;
    EXPECT_EQ(installService("Demo", "text"), -1);
    EXPECT_EQ(errors(), std::vector<std::string>{"System text 5.\r\n"});
    EXPECT_EQ(scm.services.count("Demo"), 1u);
    EXPECT_EQ(scm.registry[kEventKey].count("EventMessageFile"), 1u);
    EXPECT_EQ(scm.registry[kServiceKey].count("Description"), 0u);
    EXPECT_EQ(scm.openRegistryKeys(), 0);

    // Through the command line: no "Service installed" after a failed registry step.
    scm.services.clear();
    w.console.clear();
    scm.setValueStatus.clear();
    scm.createKeyStatus = kErrorAccessDenied;
    EXPECT_TRUE(dispatch("-install"));
    EXPECT_EQ(errors(), std::vector<std::string>{"System text 5.\r\n"});
}

TEST_F(ServiceInstall, RegistryHelpersTellWhichStepFailed) {
    long status = 0;
    EXPECT_EQ(writeRegistryString(RegistryRoot::LocalMachine, "Missing", "V", "t", &status), -1);
    EXPECT_EQ(status, static_cast<long>(kErrorFileNotFound));
    ASSERT_EQ(createRegistryKey(RegistryRoot::LocalMachine, "Key"), 0);
    scm.setValueStatus["V"] = 1234;
    EXPECT_EQ(writeRegistryDword(RegistryRoot::LocalMachine, "Key", "V", 1, &status), 1);
    EXPECT_EQ(status, 1234);
    scm.setValueStatus.clear();
    EXPECT_EQ(writeRegistryDword(RegistryRoot::LocalMachine, "Key", "V", 9), 0);
    scm.createKeyStatus = 5;
    EXPECT_EQ(createRegistryKey(RegistryRoot::LocalMachine, "Other", &status), -1);
    EXPECT_EQ(status, 5);
    EXPECT_EQ(scm.openRegistryKeys(), 0);
}

TEST_F(ServiceInstall, TextsThatDoNotFitAreRefusedBeforeAnythingChanges) {
    // A module path the system had to cut.
    w.modulePath = "C:\\" + std::string(kPathBufferSize + 40, 'p') + "\\varnlet.exe";
    EXPECT_EQ(installService("Demo", ""), -1);
    EXPECT_EQ(errors(), (std::vector<std::string>{"System text 206.\r\n", "Error accessing file/directory: CURRENT_EXE"}));

    // A switch too long for the command line.
    w.console.clear();
    w.modulePath = "C:\\apps\\demo\\varnlet.exe";
    std::string longSwitch(kServiceCommandLineSize, 's');
    Config.ServiceSwitch = &longSwitch[0];
    EXPECT_EQ(installService("Demo", ""), -1);
    ASSERT_EQ(errors().size(), 2u);
    EXPECT_EQ(w.console[0].text, "System text 206.\r\n");

    // A service name too long for the key paths.
    w.console.clear();
    Config.ServiceSwitch = const_cast<char*>("-startlauncherinservicemode");
    std::string longName(kRegistryKeyPathSize, 'n');
    EXPECT_EQ(installService(longName.c_str(), ""), -1);
    ASSERT_EQ(errors().size(), 2u);
    EXPECT_EQ(w.console[0].text, "System text 206.\r\n");

    EXPECT_TRUE(scm.services.empty());
    EXPECT_TRUE(scm.registry.empty());
    EXPECT_EQ(scm.openServiceHandles(), 0);
}

TEST_F(ServiceInstall, UninstallDeletesTheServiceAndKeepsTheEventLogSource) {
    ASSERT_EQ(installService("Demo", "d"), 0);
    ASSERT_EQ(uninstallService("Demo"), 0);
    EXPECT_EQ(scm.scManagerAccess.back(), kScManagerAllAccess);
    EXPECT_EQ(scm.serviceAccess.back(), kDeleteAccess);
    EXPECT_TRUE(scm.services.empty());
    EXPECT_EQ(scm.registry[kEventKey].size(), 2u);
    EXPECT_EQ(uninstallService("Demo"), -1);
    EXPECT_EQ(errors(), std::vector<std::string>{"System text 1060.\r\n"});

    w.console.clear();
    installExisting();
    scm.deleteServiceError = kErrorAccessDenied;
    EXPECT_EQ(uninstallService("Demo"), -1);
    EXPECT_EQ(errors(), std::vector<std::string>{"System text 5.\r\n"});
    EXPECT_EQ(scm.openServiceHandles(), 0);
    EXPECT_TRUE(scm.faults.empty());
}

TEST_F(ServiceInstall, CommandLineInstallTwiceUninstallTwice) {
    EXPECT_TRUE(dispatch("-install"));
    ASSERT_EQ(w.console.size(), 1u);
    EXPECT_FALSE(w.console[0].toError);
    EXPECT_EQ(w.console[0].text, "Service installed: Demo");
    std::string before = scm.services["Demo"].binaryPath;

    w.console.clear();
    EXPECT_TRUE(dispatch("-install"));
    EXPECT_EQ(errors(), std::vector<std::string>{"Service is already installed: Demo"});
    EXPECT_EQ(scm.services["Demo"].binaryPath, before);

    w.console.clear();
    EXPECT_TRUE(dispatch("-uninstall"));
    ASSERT_EQ(w.console.size(), 1u);
    EXPECT_EQ(w.console[0].text, "Service uninstalled: Demo");
    w.console.clear();
    EXPECT_TRUE(dispatch("-uninstall"));
    EXPECT_EQ(errors(), std::vector<std::string>{"System text 1060.\r\n"});
}

TEST_F(ServiceInstall, CommandLineInstallWithoutTheRightIsNotSilent) {
    scm.openScManagerError = kErrorAccessDenied;
    EXPECT_TRUE(dispatch("-install"));
    EXPECT_EQ(errors(), std::vector<std::string>{"System text 5.\r\n"});
    EXPECT_TRUE(scm.services.empty());
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
    EXPECT_EQ(errors().back(), "Error accessing file/directory: CURRENT_DIR");
    EXPECT_EQ(scm.services.count("Demo"), 1u);
}

}  // namespace
