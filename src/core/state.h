// LauncherState: the one process-wide record of run mode, directories, JVM and service state.
#pragma once
#include <atomic>
#include <cstdint>
#include <jni.h>

#include "core/config.h"
#include "platform/platform.h"

enum class RunModeKind { Console, Service };

constexpr unsigned kPathBufferSize = kPlatformPathBytes;
constexpr unsigned kStartupDirSize = kPathBufferSize + 1;

struct LauncherState {
    RunModeKind RunMode;  // written before any thread that reads it starts
    bool Windowed;  // a windowed launcher's console run: reports go to message boxes
    char StartupDir[kStartupDirSize];
    bool StartupDirTooLong;  // StartupDir could not hold it: only a run that returns there fails
    void* EventSource;  // set and cleared by the service run under its lock, or before its threads start
    void* JvmLibrary;
    void* CreateJavaVMProc;
    void* DefaultInitArgsProc;
    // The chosen runtime's feature version (17 for 17.0.9), known once its library is loaded:
    // the java command's forms and an executable jar's attributes depend on it.
    unsigned RuntimeFeature;
    // The JVM was given -Duser.dir= with the java command's forms: main sees it, as with that command.
    bool UserDirGiven;
    std::atomic<JavaVM*> Jvm;  // a service's stopper reads it while the worker may clear it
    JNIEnv* JniEnv;
    // The JVM's exit hook (a JNICALL function taking the exit code) in a service run; the JVM
    // is created with it when set.
    void* JvmExitHook;
    // Set once the application's main has returned and its JVM is being destroyed: a stopper
    // that then cannot attach has met the application's own end, which is no failure.
    std::atomic<bool> JvmEnding;
    // The command line's arguments for main in a console run (none: AppOptions count); null
    // in a run of the service's start options.
    int MainArgumentCount;
    char** MainArguments;
    // From the executable jar's manifest, for after the JVM exists: the agent to start before
    // main (with the jar's full path, which it is loaded from) and the splash image entry.
    char* LauncherAgentClass;
    char* MainJarFullPath;
    char* SplashJarEntry;
    // Its Add-Opens and Add-Exports, granted once the JVM exists, where `java -jar` grants them.
    char* JarAddOpens;
    char* JarAddExports;
    // This run's own forms of configured texts, null while the configured text stands: the
    // executable jar with its references expanded, the manifest's main class.
    char* MainJar;
    char* MainClass;
};

extern LauncherState State;

// The texts as this run uses them: its own form when it made one, else the configured text.
const char* runMainJar();
const char* runMainClass();
