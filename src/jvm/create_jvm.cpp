// Loading the JVM library, creating the virtual machine and shutting it down.
#include "jvm/create_jvm.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <jni.h>

#include "core/allocation.h"
#include "core/config.h"
#include "core/log_files.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/state.h"
#include "core/trace.h"
#include "core/working_directory.h"
#include "jvm/class_data_cache.h"
#include "jvm/jni_utils.h"
#include "jvm/splash.h"
#include "options/java_option_forms.h"
#include "options/options.h"
#include "platform/platform.h"
#include "runtimes/discovery.h"
#include "runtimes/installed_runtimes.h"
#include "runtimes/java_version.h"

namespace {

typedef jint(JNICALL* CreateJavaVMFunction)(JavaVM**, void**, void*);

// The service console: the native streams and then System.out and System.err go to it.
// Every step runs whatever the one before returned: a refused AllocConsole most often means
// the process already has a console, and the streams belong on that one.
void attachConsole(JNIEnv* env) {
    Platform.console.alloc();
    Platform.console.setCtrlHandler(consoleControlHandler);
    if (!Platform.traits.consoleDeviceName) return;  // a system without consoles has none to point at
    Platform.console.reopenStdStreams();
    redirectJavaStream(env, Platform.traits.consoleDeviceName, "setOut");
    redirectJavaStream(env, Platform.traits.consoleDeviceName, "setErr");
}

// The runtime's feature version: its release file's, else the newest JNI version its library
// knows (which tells 9, 10, 19, 20, 21 and 24 apart), else 8.
unsigned runtimeFeature(const RuntimeChoice& runtime) {
    const PathStyle& style = Platform.traits.pathStyle;
    std::string home = runtime.home, library = runtime.library;
    for (int up = 0; home.empty() && up < 3; ++up)
        if (!parentPath(style, library, &library)) break;
    if (home.empty()) home = library;
    char text[4096], name[64];
    uint32_t got = 0;
    JavaVersion version;
    if (Platform.files.readStart(joinPath(style, home, "release").c_str(), text, sizeof text, &got) &&
        parseReleaseVersion(text, got, name, sizeof name) && parseJavaVersion(name, &version))
        return version.major;
    typedef jint(JNICALL * DefaultArgsFunction)(void*);
    for (jint jniVersion : {0x00180000, 0x00150000, 0x00140000, 0x00130000, 0x000a0000, 0x00090000}) {
        JavaVMInitArgs arguments{};
        arguments.version = jniVersion;
        if (reinterpret_cast<DefaultArgsFunction>(State.DefaultInitArgsProc)(&arguments) == JNI_OK)
            return static_cast<unsigned>(jniVersion) >> 16;
    }
    return 8;
}

}  // namespace

bool javaBinDirectory(const char* libraryPath, char* buffer, size_t size) {
    std::string libraryFolder, bin;
    const PathStyle& style = Platform.traits.pathStyle;
    if (!parentPath(style, libraryPath, &libraryFolder) || !parentPath(style, libraryFolder, &bin) ||
        bin.size() <= pathRootLength(style, bin.c_str()) || bin.size() + 1 > size)
        return false;
    memcpy(buffer, bin.c_str(), bin.size() + 1);
    return true;
}

bool createJvm(bool withConsole) {
    if (Config.EarlyWorkingDir && !enterWorkingDirectory(true)) return false;

    RuntimeChoice runtime = locateJvm();
    if (runtime.library.empty()) {
        reportSkippedRuntimes();
        // A stray "%s" in the configured text gets nothing.
        reportErrorOfferingPage(Config.JavaDownloadUrl, message(MsgNoRuntime), "");
        reportSearchHint();
        return false;
    }
    return createJvmWith(runtime, withConsole);
}

bool createJvmWith(const RuntimeChoice& runtime, bool withConsole) {
    // The library in use, which the messages print.
    const char* library = runtime.library.c_str();
    char binDirectory[kPathBufferSize];
    const char* extraSearchDir = javaBinDirectory(library, binDirectory, sizeof binDirectory) ? binDirectory : nullptr;
    State.JvmLibrary = Platform.library.load(library, extraSearchDir);
    if (!State.JvmLibrary) {
        // The system's reason first: a wrong architecture or a missing dependency.
        reportLastError();
        reportError(message(MsgLoadJvm), library);
        return false;
    }
    State.CreateJavaVMProc = Platform.library.symbol(State.JvmLibrary, "JNI_CreateJavaVM");
    State.DefaultInitArgsProc = Platform.library.symbol(State.JvmLibrary, "JNI_GetDefaultJavaVMInitArgs");
    if (!State.CreateJavaVMProc || !State.DefaultInitArgsProc) {
        reportError(message(MsgJniInterfaces), library);
        return false;
    }
    State.RuntimeFeature = runtimeFeature(runtime);

    std::vector<std::string> list;
    if (!buildJvmOptions(runtime, &list)) return false;
    showSplashScreen(library);
    bool adjusted = adjustJvmOptions(&list);
    // Decided on the final options, every source expanded.
    if (adjusted) prepareClassDataCache(library, &list);
    void* exitHook = classDataCacheExitHook();
    if (!adjusted) {
        reportError(message(MsgCreateJvm), library);
        return false;
    }
    size_t count = list.size();
    JavaVMOption* options = nullptr;
    if (count > 0 || exitHook) options = static_cast<JavaVMOption*>(allocateZeroed(count + 1, sizeof(JavaVMOption)));
    for (size_t i = 0; i < count; ++i) {
        const char* option = list[i].c_str();
        options[i].optionString = const_cast<char*>(option);  // JNI's type; the JVM only reads it
        trace("JVM option: ", option);
        if (strncmp(option, "-Djava.class.path=", 18) == 0) trace("class path: ", option + 18);
        if (Config.JavaCommandOptions && strncmp(option, "-Duser.dir=", 11) == 0) State.UserDirGiven = true;
    }
    size_t optionCount = count;
    if (exitHook) {
        // The service learns of System.exit before the process ends, so it can report its end.
        options[optionCount].optionString = const_cast<char*>("exit");
        options[optionCount++].extraInfo = exitHook;
    }

    JavaVMInitArgs arguments;
    arguments.version = JNI_VERSION_1_2;
    arguments.nOptions = static_cast<jint>(optionCount);
    arguments.options = options;
    // With the java command's forms a text the JVM does not know stops the start with the JVM's
    // own message, as with that command; stored launchers rely on the JVM passing over it.
    arguments.ignoreUnrecognized = Config.JavaCommandOptions ? JNI_FALSE : JNI_TRUE;
    JavaVM* jvm = nullptr;
    void* env = nullptr;
    openLogFilesBeforeJvm();
    CreateJavaVMFunction create = reinterpret_cast<CreateJavaVMFunction>(State.CreateJavaVMProc);
    jint created = create(&jvm, &env, &arguments);
    // The JVM keeps copies of its options. A class path of thousands of archives makes
    // these copies large, and the JVM's own peak comes later.
    std::vector<std::string>().swap(list);
    free(options);
    if (created != JNI_OK) {
        reportError(message(MsgCreateJvm), library);
        return false;
    }
    State.JniEnv = static_cast<JNIEnv*>(env);
    State.Jvm = jvm;
    classDataCacheJvmCreated(jvm, State.JniEnv);

    // The class path scan's buffers are gone; give their pages back before the application runs.
    Platform.process.releaseFreeMemory();
    if (withConsole) attachConsole(State.JniEnv);
    return true;
}

void destroyJvm() {
    JavaVM* jvm = State.Jvm;
    if (jvm) {
        jvm->DetachCurrentThread();
        // Waits for the application's non-daemon threads.
        jvm->DestroyJavaVM();
        finishClassDataCache();  // a service run ends the process without exit handlers
    }
    State.Jvm = nullptr;
    State.JniEnv = nullptr;
    // In a service run a stopper thread may still be calling into the JVM library; the
    // process ends right after, so the library stays loaded until then.
    if (State.JvmLibrary && State.RunMode != RunModeKind::Service) Platform.library.free(State.JvmLibrary);
    State.JvmLibrary = nullptr;
}

bool consoleControlHandler(ConsoleEvent event) {
    // Log-off is handled (the service survives it); close, shutdown and the break keys go on
    // to the next handler.
    return event == ConsoleEvent::Logoff;
}
