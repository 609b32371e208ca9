/* The invocation interface of the double, as far as the launcher uses it: JNI_CreateJavaVM,
   attaching and detaching threads, and DestroyJavaVM, which waits for the live threads as a
   JVM does. */
#include <cstring>
#include <windows.h>

#include <cstdlib>

#include "testjvm.h"

extern "C" __declspec(dllimport) int testjvm_runtime_ready();

namespace testjvm {
namespace {

DWORD threadSlot = TLS_OUT_OF_INDEXES;
volatile LONG liveThreads;  // attached threads and scripted lingering threads
volatile LONG unnamedThreads;
bool created;

ThreadEnv* attachThread(const std::string& name) {
    ThreadEnv* thread = new ThreadEnv();
    thread->env.functions = functionTable();
    thread->name = name;
    TlsSetValue(threadSlot, thread);
    return thread;
}

// The JNI versions a JVM accepts in an attach request; with any other version a JVM
// ignores the request's name and group.
bool supportedVersion(jint version) {
    switch (version) {
    case JNI_VERSION_1_2: case JNI_VERSION_1_4: case JNI_VERSION_1_6: case JNI_VERSION_1_8:
    case JNI_VERSION_9: case JNI_VERSION_10:
        return true;
    default:
        return false;
    }
}

jint JNICALL AttachCurrentThread(JavaVM*, void** penv, void* args) {
    const char* event = "attach";
    std::string refused = script("attach");
    if (!refused.empty()) {
        record({event, "refused", refused});
        return static_cast<jint>(strtol(refused.c_str(), nullptr, 10));
    }
    if (ThreadEnv* current = currentThread()) {
        record({event, "already", current->name});
        *penv = &current->env;
        return JNI_OK;
    }
    const JavaVMAttachArgs* request = static_cast<const JavaVMAttachArgs*>(args);
    std::string name = "Thread-" + std::to_string(InterlockedIncrement(&unnamedThreads) - 1);
    if (request && supportedVersion(request->version) && request->name) name = request->name;
    record({event, request ? hex32(static_cast<unsigned>(request->version)) : "<no request>",
            request && request->name ? request->name : "<null>", request && request->group ? "group" : "<null>",
            name});
    ThreadEnv* thread = attachThread(name);
    threadStarted();
    *penv = &thread->env;
    return JNI_OK;
}

jint JNICALL DetachCurrentThread(JavaVM*) {
    ThreadEnv* thread = currentThread();
    if (!thread) {
        record({"detach", "<not attached>"});
        return JNI_OK;
    }
    record({"detach", thread->name});
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
    if (limit == 0) limit = 30000;
    DWORD waited = 0;
    while (liveThreads > own && waited < limit) {
        Sleep(10);
        waited += 10;
    }
    record({liveThreads > own ? "destroy-timeout" : "destroy", std::to_string(liveThreads - own)});
    return JNI_OK;
}

const JNIInvokeInterface_ invokeInterface = {nullptr, nullptr, nullptr, DestroyJavaVM, AttachCurrentThread,
                                             DetachCurrentThread, nullptr, nullptr};

}  // namespace

JavaVM TheVm = {&invokeInterface};

ThreadEnv* currentThread() {
    return threadSlot == TLS_OUT_OF_INDEXES ? nullptr : static_cast<ThreadEnv*>(TlsGetValue(threadSlot));
}
void threadStarted() { InterlockedIncrement(&liveThreads); }
void threadEnded() { InterlockedDecrement(&liveThreads); }

}  // namespace testjvm

using namespace testjvm;

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* args) {
    const JavaVMInitArgs* initArgs = static_cast<const JavaVMInitArgs*>(args);
    if (!initArgs) {
        record({"create", "<no arguments>"});
        return JNI_EINVAL;
    }
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
    for (jint i = 0; initArgs->options && i < initArgs->nOptions; ++i)
        record({"option", std::to_string(i), options[static_cast<size_t>(i)],
                initArgs->options[i].extraInfo ? "extra" : "<null>"});
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
    ThreadEnv* mainThread = attachThread("main");
    threadStarted();
    *pvm = &TheVm;
    *penv = &mainThread->env;
    return JNI_OK;
}
