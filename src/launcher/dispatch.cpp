// The launcher's main sequence and the dispatch of the service switches.
#include "launcher/dispatch.h"

#include <cstdlib>
#include <cstring>

#include "core/config.h"
#include "core/report.h"
#include "core/state.h"
#include "invoke/invoke.h"
#include "jvm/class_data_assembly.h"
#include "jvm/create_jvm.h"
#include "launcher/directories.h"
#include "launcher/single_instance.h"
#include "platform/platform.h"
#include "service/install.h"
#include "service/runtime.h"

bool dispatchCommandLine(int argc, char** argv, int* exitCode) {
    if (argc != 2) return false;
    const char* argument = argv[1];
    *exitCode = 0;
    if (strcmp(argument, Config.InstallSwitch) == 0) {
        ServiceQuery installed = isServiceInstalled(Config.ServiceName);
        if (installed == ServiceQuery::Installed) {
            reportError(message(MsgServiceExists), Config.ServiceName);
            *exitCode = Platform.services.exitCode(Platform.errors.ofKind(ErrorKind::ServiceExists));
        } else if (installed == ServiceQuery::NotInstalled) {
            if (installService(Config.ServiceName, Config.ServiceDescription) == 0)
                reportInfo(message(MsgServiceInstalled), Config.ServiceName);
            else *exitCode = Platform.services.exitCode(Platform.errors.last());
        } else {
            // The query failed (typically no right to create services): show the system's text for it.
            SystemError error = Platform.errors.last();
            reportSystemError(error);
            *exitCode = Platform.services.exitCode(error);
        }
        return true;
    }
    if (strcmp(argument, Config.UninstallSwitch) == 0) {
        if (uninstallService(Config.ServiceName) == 0) reportInfo(message(MsgServiceUninstalled), Config.ServiceName);
        else *exitCode = Platform.services.exitCode(Platform.errors.last());
        return true;
    }
    if (strcmp(argument, Config.ServiceSwitch) == 0) {
        runServiceDispatcher();
        return true;
    }
    return false;
}

// True when the service control manager started us: such a run must never show a dialog,
// not even for what goes wrong before the configuration is loaded.
static bool serviceSwitchGiven(int argc, char** argv) {
    if (argc != 2) return false;
    char* name = loadConfigString(kEntryServiceName);
    char* serviceSwitch = loadConfigString(kEntryServiceSwitch);
    bool given = name[0] != '\0' && strcmp(argv[1], serviceSwitch) == 0;
    free(name);
    free(serviceSwitch);
    return given;
}

static int runLauncher(int argc, char** argv) {
    // A directory that cannot be read or entered stops the run: carrying on where the process
    // happens to be would take the caller's files for the application's. The java command ends
    // with 1 when it cannot read its current directory.
    if (!captureStartupDirectory()) return 1;
    if (!enterExecutableDirectory()) return -1;
    loadConfiguration();
    if (!returnToStartupDirectory()) return -1;
    // The console switch runs the service's start and stop here; its exit code is the service's.
    if (Config.ServiceName[0] != '\0' && Config.ServiceConsoleSwitch[0] != '\0' && argc == 2 &&
        strcmp(argv[1], Config.ServiceConsoleSwitch) == 0)
        return runServiceInConsole();
    int code = 0;
    if (Config.ServiceName[0] != '\0' && dispatchCommandLine(argc, argv, &code)) return code;
    if (!claimSingleInstance()) return -1;
    State.MainArgumentCount = argc > 0 ? argc - 1 : 0;  // for sun.java.command
    State.MainArguments = argc > 0 ? argv + 1 : argv;
    if (!createJvm(false)) return -1;
    bool ran = invokeMainClass(argc > 0 ? argc - 1 : 0, argc > 0 ? argv + 1 : argv, false);
    destroyJvm();
    return ran ? 0 : -1;
}

int launcherMain(int argc, char** argv) {
    // Started by a launcher to assemble its class data cache, not to run the application.
    if (const char* job = Platform.process.environment(kClassDataJobVariable)) return runClassDataJob(job);
    State.RunMode = RunModeKind::Console;
    State.Windowed = !Platform.console.startedWith() && !serviceSwitchGiven(argc, argv);
    // Started from a console, a windowed launcher's application writes to it.
    if (State.Windowed) Platform.console.attachParent();
    int code = runLauncher(argc, argv);
    flushReports();
    return code;
}
