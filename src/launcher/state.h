// LauncherState: the one process-wide record of run mode, directories, JVM and service state.
#pragma once
#include <atomic>
#include <cstdint>
#include <jni.h>

enum class RunModeKind { Console, Service };

// The seven fields of the service status record, in the order the service manager expects.
struct ServiceStatusRecord {
    uint32_t dwServiceType;
    uint32_t dwCurrentState;
    uint32_t dwControlsAccepted;
    uint32_t dwWin32ExitCode;
    uint32_t dwServiceSpecificExitCode;
    uint32_t dwCheckPoint;
    uint32_t dwWaitHint;
};

constexpr unsigned kPathBufferSize = 260;     // MAX_PATH
constexpr unsigned kStartupDirSize = 261;

struct LauncherState {
    RunModeKind RunMode;  // written before any thread that reads it starts
    char StartupDir[kStartupDirSize];
    void* volatile EventSource;
    char DiscoveredJavaHome[kPathBufferSize];
    void* JvmLibrary;
    void* CreateJavaVMProc;
    void* DefaultInitArgsProc;
    JavaVM* volatile Jvm;
    JNIEnv* JniEnv;
    ServiceStatusRecord ServiceStatus;
    void* ServiceStatusHandle;
    void* volatile ServiceDoneEvent;
    std::atomic<bool> RunResult;  // worker and stopper both write it: the last write wins
};

extern LauncherState State;
