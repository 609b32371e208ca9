// The embedded configuration: the process-wide LauncherConfig and its loader.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/entries.h"

struct LauncherConfig {
    char* MinJavaVersion;  // the text as read
    uint32_t MinJavaVersionValue;  // its hexadecimal value
    char* JvmPath;
    char* JvmOptions;
    char* ClassPath;
    int32_t JavaSearchMode;
    char* InstallSwitch;
    char* UninstallSwitch;
    char* ServiceSwitch;
    char* WorkingDir;
    char* MainClass;  // slash form
    char* AppOptions;
    char* OptionsFile;
    bool UseStartupDir;
    bool EarlyWorkingDir;
    char* ServiceName;
    char* ServiceDescription;
    char* ServiceStartOptions;
    char* ServiceStopOptions;
    bool ServiceStopByExit;
    bool ServiceManualStart;
    bool SingleInstance;
    char* SystemOutFile;
    char* SystemErrFile;
    char* SingleInstanceMutex;  // empty: derived from the executable's path
    bool Reserved1408;
    int32_t Reserved1424;
    char* SingleInstanceMessage;
    char* JavaDownloadUrl;
    int32_t ServiceRestartDelay;  // seconds; 0 (or less) means no recovery
    int32_t ServiceRestartCount;
    int32_t ServiceRestartReset;  // seconds
    bool ServiceDelayedStart;
    char* ServiceDependencies;  // names separated by ';'
    char* ServiceAccount;
    int32_t ServiceStopTimeout;  // seconds
    char* ServiceConsoleSwitch;
    bool StayInStartupDir;  // a command-line tool: the caller's directory throughout
    bool JavaCommandOptions;  // JvmOptions read as the java command reads its options
    bool LauncherProperties;  // varnlet.exe.path, varnlet.exe.dir, sun.java.command
    char* MainJar;  // empty: no executable jar
    char* ModulePath;  // entries separated by ';'
    char* MainModule;  // module or module/class
    char* SplashImage;
    bool ModernReferences;  // today's %NAME% rules instead of the stored launchers'
    bool ClassDataCache;
    char* ClassDataCacheDir;  // empty: the user's cache folder
    char* LogRotateSize;  // "10 MB"; empty: no size limit
    bool LogRotateDaily;
    int32_t LogRotateKeep;  // rolled files kept beside each log
    char* Messages[kMessageCount];  // indexed by (id - 1456) / 16
};

extern LauncherConfig Config;

// The format text of a message entry; never null after loading.
const char* message(unsigned id);

// A new heap string with entry `id`, "" for a missing, empty or "<null>" entry.
char* loadConfigString(unsigned id);
void loadConfiguration();
