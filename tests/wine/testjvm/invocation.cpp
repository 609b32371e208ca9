/* The exports and the invocation interface of the double: JNI_CreateJavaVM, attaching and
   detaching threads, and DestroyJavaVM, which waits for the live threads as a JVM does. */
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "testjvm.h"

extern "C" __declspec(dllimport) int testjvm_runtime_ready();

namespace testjvm {
namespace {

DWORD threadSlot = TLS_OUT_OF_INDEXES;
volatile LONG liveThreads;  // attached threads and scripted lingering threads
volatile LONG unnamedThreads;

ThreadEnv* currentThread() { return static_cast<ThreadEnv*>(TlsGetValue(threadSlot)); }

ThreadEnv* attachThread(const std::string& name) {
    ThreadEnv* thread = new ThreadEnv();
    thread->env.functions = functionTable();
    thread->name = name;
    TlsSetValue(threadSlot, thread);
    threadStarted();
    return thread;
}

jint JNICALL AttachCurrentThread(JavaVM*, void** penv, void* args) {
    if (ThreadEnv* current = currentThread()) {
        record({"attach", "already", current->name});
        *penv = &current->env;
        return JNI_OK;
    }
    const JavaVMAttachArgs* request = static_cast<const JavaVMAttachArgs*>(args);
    // A JVM takes the request's name only with a JNI version it accepts.
    jint v = request ? request->version : 0;
    bool supported = v == JNI_VERSION_1_2 || v == JNI_VERSION_1_4 || v == JNI_VERSION_1_6 || v == JNI_VERSION_1_8 ||
                     v == JNI_VERSION_9 || v == JNI_VERSION_10;
    std::string name = "Thread-" + std::to_string(InterlockedIncrement(&unnamedThreads) - 1);
    if (supported && request->name) name = request->name;
    record({"attach", request ? hex32(static_cast<unsigned>(v)) : "<no request>",
            request && request->name ? request->name : "<null>", request && request->group ? "group" : "<null>", name});
    *penv = &attachThread(name)->env;
    return JNI_OK;
}

jint JNICALL DetachCurrentThread(JavaVM*) {
    ThreadEnv* thread = currentThread();
    record({"detach", thread ? thread->name : "<not attached>"});
    if (!thread) return JNI_OK;
    TlsSetValue(threadSlot, nullptr);
    threadEnded();
    return JNI_OK;
}

jint JNICALL DestroyJavaVM(JavaVM*) {
    ThreadEnv* caller = currentThread();
    record({"destroy-begin", caller ? caller->name : "<not attached>", std::to_string(liveThreads)});
    // The caller itself does not count; every other live thread is waited for.
    LONG own = caller ? 1 : 0;
    DWORD limit = static_cast<DWORD>(strtoul(script("destroy_timeout").c_str(), nullptr, 10));
    for (DWORD waited = 0; liveThreads > own && waited < (limit ? limit : 30000); waited += 10) Sleep(10);
    record({liveThreads > own ? "destroy-timeout" : "destroy", std::to_string(liveThreads - own)});
    return JNI_OK;
}

const JNIInvokeInterface_ invokeInterface = {nullptr, nullptr, nullptr, DestroyJavaVM, AttachCurrentThread,
                                             DetachCurrentThread, nullptr, nullptr};
JavaVM theVm = {&invokeInterface};

}  // namespace

void threadStarted() { InterlockedIncrement(&liveThreads); }
void threadEnded() { InterlockedDecrement(&liveThreads); }

}  // namespace testjvm

using namespace testjvm;

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* args) {
    static bool created;
    const JavaVMInitArgs* initArgs = static_cast<const JavaVMInitArgs*>(args);
    std::vector<std::string> options;
    for (jint i = 0; initArgs->options && i < initArgs->nOptions; ++i) {
        const char* option = initArgs->options[i].optionString;
        options.push_back(option ? option : "<null>");
        if (option && strcmp(option, "exit") == 0) exitHook = reinterpret_cast<void(JNICALL*)(jint)>(initArgs->options[i].extraInfo);
    }
    setScriptOptions(options);
    record({"library", modulePath(), testjvm_runtime_ready() ? "runtime" : "<no runtime>"});
    record({"create", hex32(static_cast<unsigned>(initArgs->version)), std::to_string(initArgs->nOptions),
            initArgs->options ? "options" : "<null>", std::to_string(initArgs->ignoreUnrecognized)});
    for (size_t i = 0; i < options.size(); ++i)
        record({"option", std::to_string(i), options[i], initArgs->options[i].extraInfo ? "extra" : "<null>"});
    std::string result = script("create");
    if (!result.empty() && result != "0") {
        record({"create-failed", result});
        return static_cast<jint>(strtol(result.c_str(), nullptr, 10));
    }
    if (created) {
        record({"create-failed", "exists"});
        return JNI_EEXIST;
    }
    created = true;
    threadSlot = TlsAlloc();
    initCalls();
    *pvm = &theVm;
    *penv = &attachThread("main")->env;
    return JNI_OK;
}

// The launcher only checks that this export exists; a call is recorded in case it comes.
extern "C" JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* args) {
    record({"getdefaultinitargs"});
    if (args) static_cast<JavaVMInitArgs*>(args)->version = JNI_VERSION_1_2;
    return JNI_OK;
}
