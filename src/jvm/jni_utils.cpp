// JNI helpers: every step is followed by the exception check, and a failed step reports
// its message once and ends the operation.
#include "jvm/jni_utils.h"

#include <string>

#include "core/config.h"
#include "core/report.h"
#include "core/state.h"
#include "entries/text_encoding.h"
#include "platform/platform.h"

namespace {

// A step that yields a reference fails on a pending exception or a null result.
bool stepFailed(JNIEnv* env, const void* result) {
    bool thrown = checkJavaException(env);
    return thrown || result == nullptr;
}

bool fail(unsigned id, const char* argument) {
    reportError(message(id), argument);
    return false;
}

// A step of a chain: its result, or null once an exception is pending (left to the caller).
template <typename T>
T step(JNIEnv* env, T result) {
    return env->ExceptionCheck() ? nullptr : result;
}

// A Java string in the process's code page.
std::string stringText(JNIEnv* env, jstring text) {
    jsize length = env->GetStringLength(text);
    std::u16string wide(static_cast<size_t>(length > 0 ? length : 0), u'\0');
    if (length > 0) env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(&wide[0]));
    std::string out;
    if (!env->ExceptionCheck()) Platform.process.encodeCodePage(wide, &out);
    return out;
}

// Thread.currentThread().getUncaughtExceptionHandler().uncaughtException(thread, thrown); false
// when the handler could not be reached.
bool dispatchUncaught(JNIEnv* env, jthrowable thrown) {
    jclass thread = step(env, env->FindClass("java/lang/Thread"));
    jmethodID current =
        thread ? step(env, env->GetStaticMethodID(thread, "currentThread", "()Ljava/lang/Thread;")) : nullptr;
    jobject self = current ? step(env, env->CallStaticObjectMethod(thread, current)) : nullptr;
    jmethodID getHandler = self ? step(env, env->GetMethodID(thread, "getUncaughtExceptionHandler",
                                                             "()Ljava/lang/Thread$UncaughtExceptionHandler;"))
                                : nullptr;
    jobject handler = getHandler ? step(env, env->CallObjectMethod(self, getHandler)) : nullptr;
    jclass handlerType = handler ? step(env, env->FindClass("java/lang/Thread$UncaughtExceptionHandler")) : nullptr;
    jmethodID uncaught = handlerType ? step(env, env->GetMethodID(handlerType, "uncaughtException",
                                                                  "(Ljava/lang/Thread;Ljava/lang/Throwable;)V"))
                                     : nullptr;
    if (uncaught) env->CallVoidMethod(handler, uncaught, self, thrown);
    // What the handler itself throws is dropped, as the JVM drops it.
    if (env->ExceptionCheck()) env->ExceptionClear();
    return uncaught != nullptr;
}

}  // namespace

std::string codePageToModifiedUtf8(const char* text) {
    std::u16string wide;
    Platform.process.decodeCodePage(text ? text : "", &wide);
    return toModifiedUtf8(wide);
}

bool checkJavaException(JNIEnv* env) {
    if (!env->ExceptionCheck()) return false;
    env->ExceptionDescribe();
    env->ExceptionClear();
    return true;
}

std::string takeUncaughtException(JNIEnv* env) {
    jthrowable thrown = env->ExceptionOccurred();
    env->ExceptionClear();
    if (!thrown) return "";
    jclass throwable = step(env, env->FindClass("java/lang/Throwable"));
    jmethodID toString =
        throwable ? step(env, env->GetMethodID(throwable, "toString", "()Ljava/lang/String;")) : nullptr;
    jstring text = toString ? static_cast<jstring>(step(env, env->CallObjectMethod(thrown, toString))) : nullptr;
    std::string shown = text ? stringText(env, text) : "";
    if (env->ExceptionCheck()) env->ExceptionClear();
    if (!dispatchUncaught(env, thrown)) {
        env->Throw(thrown);
        env->ExceptionDescribe();
        env->ExceptionClear();
    }
    return shown;
}

jstring newJavaString(JNIEnv* env, const char* text) {
    std::string converted = codePageToModifiedUtf8(text);
    jstring s = env->NewStringUTF(converted.c_str());
    if (stepFailed(env, s)) return nullptr;
    return s;
}

bool setSystemProperty(JNIEnv* env, const char* name, const char* value) {
    jstring nameString = newJavaString(env, name);
    if (!nameString) return fail(MsgInstantiate, "java/lang/String");
    jstring valueString = newJavaString(env, value);
    if (!valueString) return fail(MsgInstantiate, "java/lang/String");
    jclass system = env->FindClass("java/lang/System");
    if (stepFailed(env, system)) return fail(MsgLocateClass, "java/lang/System");
    jmethodID setProperty =
        env->GetStaticMethodID(system, "setProperty", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;");
    if (stepFailed(env, setProperty)) return fail(MsgLocateMethod, "setProperty");
    jobject previous = env->CallStaticObjectMethod(system, setProperty, nameString, valueString);
    if (checkJavaException(env)) return fail(MsgInvoke, "setProperty");
    if (previous) env->DeleteLocalRef(previous);
    env->DeleteLocalRef(system);
    env->DeleteLocalRef(valueString);
    env->DeleteLocalRef(nameString);
    return true;
}

bool redirectJavaStream(JNIEnv* env, const char* fileName, const char* setterName) {
    jstring name = newJavaString(env, fileName);
    if (!name) return fail(MsgInstantiate, "java/lang/String");
    jclass fileStreamClass = env->FindClass("java/io/FileOutputStream");
    if (stepFailed(env, fileStreamClass)) return fail(MsgLocateClass, "java/io/FileOutputStream");
    jmethodID fileStreamInit = env->GetMethodID(fileStreamClass, "<init>", "(Ljava/lang/String;Z)V");
    if (stepFailed(env, fileStreamInit)) return fail(MsgLocateMethod, "java/io/FileOutputStream(String, boolean)");
    // Append off: an existing file is emptied.
    jobject fileStream = env->NewObject(fileStreamClass, fileStreamInit, name, JNI_FALSE);
    if (stepFailed(env, fileStream)) return fail(MsgInstantiate, "java/io/FileOutputStream");
    jclass printStreamClass = env->FindClass("java/io/PrintStream");
    if (stepFailed(env, printStreamClass)) return fail(MsgLocateClass, "java/io/PrintStream");
    jmethodID printStreamInit = env->GetMethodID(printStreamClass, "<init>", "(Ljava/io/OutputStream;)V");
    if (stepFailed(env, printStreamInit)) return fail(MsgLocateMethod, "java/io/PrintStream(java/io/OutputStream)");
    jobject printStream = env->NewObject(printStreamClass, printStreamInit, fileStream);
    if (stepFailed(env, printStream)) return fail(MsgInstantiate, "java/io/PrintStream");
    jclass system = env->FindClass("java/lang/System");
    if (stepFailed(env, system)) return fail(MsgLocateClass, "java/lang/System");
    jmethodID setter = env->GetStaticMethodID(system, setterName, "(Ljava/io/PrintStream;)V");
    if (stepFailed(env, setter)) return fail(MsgLocateMethod, setterName);
    env->CallStaticVoidMethod(system, setter, printStream);
    if (checkJavaException(env)) return fail(MsgInvoke, setterName);
    env->DeleteLocalRef(system);
    env->DeleteLocalRef(printStream);
    env->DeleteLocalRef(printStreamClass);
    env->DeleteLocalRef(fileStream);
    env->DeleteLocalRef(fileStreamClass);
    env->DeleteLocalRef(name);
    return true;
}

bool shareJavaStream(JNIEnv* env, const char* fromField, const char* setterName) {
    jclass system = env->FindClass("java/lang/System");
    if (stepFailed(env, system)) return fail(MsgLocateClass, "java/lang/System");
    jfieldID field = env->GetStaticFieldID(system, fromField, "Ljava/io/PrintStream;");
    if (stepFailed(env, field)) return fail(MsgLocateMethod, fromField);
    jobject stream = env->GetStaticObjectField(system, field);
    if (stepFailed(env, stream)) return fail(MsgInstantiate, "java/io/PrintStream");
    jmethodID setter = env->GetStaticMethodID(system, setterName, "(Ljava/io/PrintStream;)V");
    if (stepFailed(env, setter)) return fail(MsgLocateMethod, setterName);
    env->CallStaticVoidMethod(system, setter, stream);
    if (checkJavaException(env)) return fail(MsgInvoke, setterName);
    env->DeleteLocalRef(stream);
    env->DeleteLocalRef(system);
    return true;
}

namespace {
thread_local bool metJvmEnd = false;
}

bool stopperMetJvmEnd() { return metJvmEnd; }

bool attachStopperThread(JavaVM** attachedTo, JNIEnv** env) {
    JavaVM* jvm = State.Jvm;
    // The attach request carries a JNI version: anything else makes the JVM drop the
    // thread's name.
    JavaVMAttachArgs request;
    request.version = JNI_VERSION_1_2;
    request.name = const_cast<char*>(kStopperThreadName);
    request.group = nullptr;
    void* attached = nullptr;
    metJvmEnd = false;
    if (jvm == nullptr || jvm->AttachCurrentThread(&attached, &request) != JNI_OK || attached == nullptr) {
        // The application's own end came first: its JVM is going or gone, nothing to stop.
        if (State.JvmEnding) {
            metJvmEnd = true;
            return false;
        }
        reportError(message(MsgAttach), "");  // a stray "%s" in the configured text gets nothing
        return false;
    }
    *attachedTo = jvm;
    *env = static_cast<JNIEnv*>(attached);
    return true;
}

bool requestJavaExit() {
    JavaVM* jvm = nullptr;
    JNIEnv* env = nullptr;
    if (!attachStopperThread(&jvm, &env)) return false;
    bool ok = false;
    jclass system = env->FindClass("java/lang/System");
    if (stepFailed(env, system)) {
        fail(MsgLocateClass, "java/lang/System");
    } else {
        jmethodID exitMethod = env->GetStaticMethodID(system, "exit", "(I)V");
        if (stepFailed(env, exitMethod)) {
            fail(MsgLocateMethod, "exit(int)");
        } else {
            env->CallStaticVoidMethod(system, exitMethod, static_cast<jint>(0));
            if (checkJavaException(env)) fail(MsgInvoke, "exit(int)");
            else ok = true;
        }
    }
    jvm->DetachCurrentThread();
    return ok;
}
