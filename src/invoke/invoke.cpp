// Running the application's static main(String[]): working directory, user.dir, optional
// System.out/err redirection, the argument array and the call itself.
#include "invoke/invoke.h"

#include <cstring>
#include <string>

#include "core/config.h"
#include "core/log_files.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/state.h"
#include "core/working_directory.h"
#include "entries/text_encoding.h"
#include "invoke/log_stream.h"
#include "invoke/main_class.h"
#include "jvm/class_data_cache.h"
#include "jvm/jni_utils.h"
#include "options/launch_options.h"
#include "options/split.h"
#include "platform/platform.h"

namespace {

const char* const kMainMethodText = "main(java/lang/String[])";

bool failWith(unsigned id, const char* argument) {
    reportError(message(id), argument);
    return false;
}

// The launcher keeps the files itself when they roll over, or when the process's own
// streams must follow them: with no console to show them (a service, a windowed launcher)
// the JVM's messages and native output would otherwise go nowhere.
bool redirectToLogFiles(JNIEnv* env, const LogRotation& rotation, bool oneFile) {
    bool native = logFilesTakeStandardStreams();
    if (Config.SystemOutFile[0] != '\0' &&
        !(openLogFile(0, Config.SystemOutFile, rotation, native, native && oneFile) &&
          redirectJavaStreamToLog(env, 0, "setOut")))
        return false;
    if (Config.SystemErrFile[0] == '\0') return true;
    if (oneFile) return shareJavaStream(env, "out", "setErr");
    return openLogFile(1, Config.SystemErrFile, rotation, false, native) && redirectJavaStreamToLog(env, 1, "setErr");
}

bool redirectStreams(JNIEnv* env, const char* directory) {
    if (Config.SystemOutFile[0] == '\0' && Config.SystemErrFile[0] == '\0') return true;
    LogRotation rotation;
    if (!loadLogRotation(&rotation)) return false;
    // Two streams on one file would each write from its start, over each other's lines; the
    // file gets one stream that both System.out and System.err use.
    bool oneFile = logFilesAreOne(directory);
    if (logRotationWanted(rotation) || logFilesTakeStandardStreams()) return redirectToLogFiles(env, rotation, oneFile);
    // The file stream makes no folders; one that cannot be made shows in the stream's failure.
    for (const char* file : {Config.SystemOutFile, Config.SystemErrFile})
        if (file[0] != '\0') makeLogFolder(file);
    if (Config.SystemOutFile[0] != '\0' && !redirectJavaStream(env, Config.SystemOutFile, "setOut")) return false;
    if (Config.SystemErrFile[0] == '\0') return true;
    return oneFile ? shareJavaStream(env, "out", "setErr") : redirectJavaStream(env, Config.SystemErrFile, "setErr");
}

// main ended with an exception: it is printed on System.err as `java` prints it, and its text
// follows the message wherever System.err is not what the reader sees beside it (a box, an
// event, a console whose System.err goes to a file).
bool failAfterMain(JNIEnv* env) {
    std::string thrown = takeUncaughtException(env);
    bool besideTrace = State.RunMode == RunModeKind::Console && !State.Windowed && Config.SystemErrFile[0] == '\0';
    if (besideTrace || thrown.empty()) return failWith(MsgInvoke, kMainMethodText);
    reportErrorWithDetail(thrown.c_str(), message(MsgInvoke), kMainMethodText);
    return false;
}

// Steps 3 to 12 of an invocation, on the thread whose environment is `env`.
bool runMain(JNIEnv* env, int count, char** vector, bool attach) {
    char directory[kStartupDirSize];
    uint32_t n = Platform.files.currentDirectory(directory, sizeof directory);
    if (n == 0 || n >= sizeof directory) {
        // A directory too long for the buffer would reach Java cut short.
        if (n != 0) Platform.errors.set(Platform.errors.ofKind(ErrorKind::NameTooLong));
        reportLastError();
        return failWith(MsgFileAccess, "CURRENT_DIR");
    }
    if (!State.UserDirGiven && !setSystemProperty(env, "user.dir", directory)) return false;

    // A second, attached invocation runs while the application may still write to the
    // streams of the first one: opening the files again would empty them under it.
    if (!attach && !redirectStreams(env, directory)) return false;

    if (!attach && (!grantJarPackages(env) || !startLauncherAgent(env))) return false;
    jclass mainClass = nullptr;
    if (isSet(Config.MainModule)) {
        if ((mainClass = moduleMainClass(env)) == nullptr) return false;
    } else {
        // FindClass reads modified UTF-8 too; the name is converted like every other text.
        std::string className = codePageToModifiedUtf8(runMainClass());
        mainClass = env->FindClass(className.c_str());
        if (checkJavaException(env) || mainClass == nullptr) return failWith(MsgLocateClass, runMainClass());
    }
    jmethodID mainMethod = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    if (checkJavaException(env) || mainMethod == nullptr) return failWith(MsgLocateMethod, kMainMethodText);

    // Arguments given by the caller replace AppOptions entirely.
    if (count == 0 && !splitArguments(Config.AppOptions, &count, &vector))
        return failWith(MsgInstantiate, "java/lang/String[]");

    jclass stringClass = env->FindClass("java/lang/String");
    if (checkJavaException(env) || stringClass == nullptr) return failWith(MsgInstantiate, "java/lang/String[]");
    jobjectArray arguments = env->NewObjectArray(count, stringClass, nullptr);
    if (checkJavaException(env) || arguments == nullptr) return failWith(MsgInstantiate, "java/lang/String[]");
    for (int i = 0; i < count; ++i) {
        jstring argument = newJavaString(env, vector[i]);
        if (argument == nullptr) return failWith(MsgInstantiate, "java/lang/String");
        env->SetObjectArrayElement(arguments, i, argument);
        if (checkJavaException(env)) return failWith(MsgAssignArgument, vector[i]);
        // Long argument lists would otherwise fill the thread's local reference frame.
        env->DeleteLocalRef(argument);
    }

    env->CallStaticVoidMethod(mainClass, mainMethod, arguments);
    if (env->ExceptionCheck()) return failAfterMain(env);
    if (!attach) classDataCacheMainReturned();
    return true;
}

}  // namespace

bool invokeMainClass(int count, char** vector, bool attach) {
    if (!attach && !Config.EarlyWorkingDir && !enterWorkingDirectory(false)) return false;

    JNIEnv* env = State.JniEnv;
    JavaVM* jvm = nullptr;
    if (attach && !attachStopperThread(&jvm, &env)) return false;
    bool ran = runMain(env, count, vector, attach);
    // Detached on failure too: a thread left attached keeps DestroyJavaVM waiting for ever.
    if (attach) jvm->DetachCurrentThread();
    return ran;
}
