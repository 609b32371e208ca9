// The embedded class varnlet.launcher.LogStream, a print stream defined in the JVM once, with
// its native write bound to the launcher's log files.
#include "invoke/log_stream.h"

#include <cstdlib>
#include <new>

#include "archive/inflate.h"
#include "core/allocation.h"
#include "core/config.h"
#include "core/log_files.h"
#include "core/report.h"
#include "jvm/jni_utils.h"
#include "log_stream_class.h"

namespace {

const char* const kLogStreamName = "varnlet/launcher/LogStream";

bool fail(unsigned id, const char* argument) {
    reportError(message(id), argument);
    return false;
}

// The bytes are copied out of the array first, as the JVM's own file stream does: the file
// write may wait for another thread's, and no array stays pinned meanwhile.
jboolean JNICALL writeToLog(JNIEnv* env, jclass, jint slot, jbyteArray bytes, jint offset, jint length) {
    if (slot < 0 || slot >= kLogSlots || length <= 0) return length == 0 ? JNI_TRUE : JNI_FALSE;
    jbyte small[8192];
    jbyte* buffer = small;
    if (static_cast<size_t>(length) > sizeof small && !(buffer = new (std::nothrow) jbyte[static_cast<size_t>(length)]))
        return JNI_FALSE;
    env->GetByteArrayRegion(bytes, offset, length, buffer);
    bool written = !env->ExceptionCheck() && writeLogFile(slot, buffer, static_cast<size_t>(length));
    if (buffer != small) delete[] buffer;
    return written ? JNI_TRUE : JNI_FALSE;
}

jclass logStreamClass;  // a global reference once defined

jclass defineLogStream(JNIEnv* env) {
    if (logStreamClass) return logStreamClass;
    // Kept deflated: in the body it takes half the class file's size.
    unsigned char* bytes = static_cast<unsigned char*>(allocate(kLogStreamClassSize));
    jclass defined = nullptr;
    if (inflateRawData(kLogStreamClass, sizeof kLogStreamClass, bytes, kLogStreamClassSize))
        defined = env->DefineClass(kLogStreamName, nullptr, reinterpret_cast<const jbyte*>(bytes),
                                   static_cast<jsize>(kLogStreamClassSize));
    free(bytes);
    if (checkJavaException(env) || !defined) return nullptr;
    JNINativeMethod write = {const_cast<char*>("write0"), const_cast<char*>("(I[BII)Z"),
                             reinterpret_cast<void*>(writeToLog)};
    if (env->RegisterNatives(defined, &write, 1) != 0 || checkJavaException(env)) return nullptr;
    logStreamClass = static_cast<jclass>(env->NewGlobalRef(defined));
    env->DeleteLocalRef(defined);
    return logStreamClass;
}

}  // namespace

bool redirectJavaStreamToLog(JNIEnv* env, int slot, const char* setterName) {
    jclass logClass = defineLogStream(env);
    if (!logClass) return fail(MsgLocateClass, kLogStreamName);
    jmethodID logInit = env->GetMethodID(logClass, "<init>", "(I)V");
    if (checkJavaException(env) || !logInit) return fail(MsgLocateMethod, "varnlet/launcher/LogStream(int)");
    jobject logStream = env->NewObject(logClass, logInit, static_cast<jint>(slot));
    if (checkJavaException(env) || !logStream) return fail(MsgInstantiate, kLogStreamName);
    jclass system = env->FindClass("java/lang/System");
    if (checkJavaException(env) || !system) return fail(MsgLocateClass, "java/lang/System");
    jmethodID setter = env->GetStaticMethodID(system, setterName, "(Ljava/io/PrintStream;)V");
    if (checkJavaException(env) || !setter) return fail(MsgLocateMethod, setterName);
    env->CallStaticVoidMethod(system, setter, logStream);
    if (checkJavaException(env)) return fail(MsgInvoke, setterName);
    env->DeleteLocalRef(system);
    env->DeleteLocalRef(logStream);
    return true;
}
