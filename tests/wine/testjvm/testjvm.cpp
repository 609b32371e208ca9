/* The JVM test double, a Windows jvm.dll as far as the launcher can see: it writes what it was
   given to a record file (fields end with \x1f, events with \x1e) and acts out what TESTJVM_<KEY>
   or the option -Dtestjvm.<key>= asks for. Only the calls the launcher makes are there: any other
   entry of the function table is null, so an unexpected call crashes the run at once. */
#define _JNI_IMPLEMENTATION_
#include <jni.h>
#include <windows.h>

#include <io.h>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

extern "C" __declspec(dllimport) int testjvm_runtime_ready();

namespace {

// Every object, class, method and field; none is freed, so no handle is ever reused.
struct Obj {
    explicit Obj(std::string className, Obj* ownedBy = nullptr, const char* memberName = "", const char* signature = "")
        : cls(std::move(className)), name(memberName), sig(signature), owner(ownedBy) {}
    std::string cls, text, name, sig;  // class; string bytes or file name; member name and signature
    std::vector<Obj*> items;           // array elements
    Obj* owner = nullptr;              // a member's class; a print stream's file stream
    FILE* file = nullptr;              // a file stream's file
    void* native = nullptr;            // a defined class's registered write method
};
Obj* obj(const void* handle) { return static_cast<Obj*>(const_cast<void*>(handle)); }

// JNIEnv comes first, so a thread's JNIEnv* is its Thread*; `pending` is its pending exception.
struct Thread {
    JNIEnv env;
    std::string name;
    Obj* pending;
};
Thread* self(JNIEnv* env) { return reinterpret_cast<Thread*>(env); }

std::vector<std::string> options;
void(JNICALL* exitHook)(jint) = nullptr;
Obj* streams[2];  // System.out, System.err; a stream without a file stream is the process's own
HMODULE module;
CRITICAL_SECTION recordLock;
HANDLE stopEvent;
DWORD threadSlot;
volatile LONG liveThreads, mainsRunning;
int unnamedThreads;

std::string script(const std::string& key) {
    if (const char* value = getenv(("TESTJVM_" + key).c_str())) return value;  // names are case-blind
    std::string prefix = "-Dtestjvm." + key + "=";
    for (const std::string& option : options)
        if (option.compare(0, prefix.size(), prefix) == 0) return option.substr(prefix.size());
    return "";
}

void record(const std::vector<std::string>& fields) {
    std::string line, path = script("record");
    for (const std::string& field : fields) line += field + "\x1f";
    EnterCriticalSection(&recordLock);
    // Opened for every event: a scripted exit or a killed process keeps all it wrote.
    if (FILE* f = path.empty() ? nullptr : fopen(path.c_str(), "ab")) {
        fprintf(f, "%s\x1e", line.c_str());
        fclose(f);
    }
    LeaveCriticalSection(&recordLock);
}

void raise(JNIEnv* env, const std::string& cls, const std::string& message) {
    self(env)->pending = new Obj(cls);
    self(env)->pending->text = message;
}

typedef jboolean(JNICALL* NativeWrite)(JNIEnv*, jclass, jint, jbyteArray, jint, jint);

// A print stream over the launcher's log stream writes through the native method it registered.
void writeJava(JNIEnv* env, bool err, const std::string& text) {
    Obj* fileStream = streams[err] ? streams[err]->owner : nullptr;
    if (fileStream && fileStream->owner && fileStream->owner->native) {
        Obj* bytes = new Obj("[B");
        bytes->text = text;
        jclass cls = reinterpret_cast<jclass>(fileStream->owner);
        if (!reinterpret_cast<NativeWrite>(fileStream->owner->native)(env, cls, atoi(fileStream->name.c_str()),
                                                                       reinterpret_cast<jbyteArray>(bytes), 0, static_cast<jint>(text.size())))
            record({"native-write-failed", text});
        return;
    }
    FILE* f = fileStream ? fileStream->file : err ? stderr : stdout;
    fputs(text.c_str(), f);
    fflush(f);
}

void exitProcess(JNIEnv* env, jint status) {
    record({"exit", std::to_string(status), self(env)->name});
    fflush(nullptr);
    if (exitHook) exitHook(status);  // as a JVM does; the process ends if it returns
    ExitProcess(static_cast<UINT>(status));
}

DWORD WINAPI lingerThread(LPVOID ms) {
    Sleep(static_cast<DWORD>(reinterpret_cast<uintptr_t>(ms)));
    record({"linger-end"});
    InterlockedDecrement(&liveThreads);
    return 0;
}

// TESTJVM_MAIN: print, throw, exit=N, linger=MS (a thread that keeps the JVM alive for MS ms),
// wait=MS (for a service's stop call, which is a second main while one runs).
void runMain(JNIEnv* env, Obj* cls, Obj* args) {
    char cwd[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(sizeof cwd, cwd);
    std::vector<std::string> fields = {"main", self(env)->name, cls->cls, n && n < sizeof cwd ? cwd : "?"};
    for (Obj* arg : args->items) fields.push_back(arg ? arg->text : "<null>");
    record(fields);
    bool stopCall = InterlockedIncrement(&mainsRunning) > 1;
    if (stopCall) SetEvent(stopEvent);
    std::string action = stopCall ? "" : script("main");
    size_t eq = action.find('=');
    DWORD value = eq == std::string::npos ? 0 : strtoul(action.c_str() + eq + 1, nullptr, 10);
    action = action.substr(0, eq);
    if (action == "print") {
        writeJava(env, false, "testjvm main: out\n");
        writeJava(env, true, "testjvm main: err\n");
    } else if (action == "native") {  // as a JVM's own messages: the C runtime's descriptor 1, the standard error handle
        writeJava(env, false, "testjvm main: out\n");
        _write(1, "testjvm native: out\n", 20);
        DWORD written;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), "testjvm native: err\n", 20, &written, nullptr);
        writeJava(env, true, "testjvm main: err\n");
        _write(1, "testjvm native: after\n", 22);
    } else if (action == "throw") {
        raise(env, "java/lang/IllegalStateException", "scripted failure in main");
    } else if (action == "exit") {
        exitProcess(env, static_cast<jint>(value));
    } else if (action == "linger") {
        InterlockedIncrement(&liveThreads);
        record({"linger-start"});
        CloseHandle(CreateThread(nullptr, 0, lingerThread, reinterpret_cast<LPVOID>(uintptr_t{value}), 0, nullptr));
    } else if (action == "wait") {
        record({WaitForSingleObject(stopEvent, value) == WAIT_OBJECT_0 ? "main-stopped" : "main-waited", self(env)->name});
    }
    record({"main-end", self(env)->name, self(env)->pending ? "throw" : "return"});
    InterlockedDecrement(&mainsRunning);
}

void callStatic(JNIEnv* env, jclass cls, jmethodID id, const std::vector<jvalue>& args) {
    Obj* method = obj(id);
    std::string what = method->owner->cls + "." + method->name + method->sig;
    if (what == "java/lang/System.setProperty(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;") {
        record({"property", obj(args[0].l)->text, obj(args[1].l)->text});
    } else if (what == "java/lang/System.setOut(Ljava/io/PrintStream;)V" ||
               what == "java/lang/System.setErr(Ljava/io/PrintStream;)V") {
        Obj* stream = obj(args[0].l);
        record({"stream", method->name, stream->owner ? stream->owner->text : "<process stream>", self(env)->name});
        streams[method->name == "setErr"] = stream;
    } else if (what == "java/lang/System.exit(I)V") {
        exitProcess(env, args[0].i);
    } else if (method->name == "main" && method->sig == "([Ljava/lang/String;)V") {
        runMain(env, obj(cls), obj(args[0].l));
    }
}

// jni.h's member functions, which the launcher calls, pass a va_list: objects, booleans, ints.
std::vector<jvalue> arguments(jmethodID id, va_list list) {
    std::vector<jvalue> args;
    const std::string& sig = obj(id)->sig;
    for (size_t i = 1; i < sig.size() && sig[i] != ')'; ++i) {
        jvalue value{};
        char type = sig[i];
        while (sig[i] == '[') ++i;
        if (sig[i] == 'L') i = sig.find(';', i);
        if (type == 'Z') value.z = static_cast<jboolean>(va_arg(list, int));
        else if (type == 'I') value.i = va_arg(list, jint);
        else value.l = va_arg(list, jobject);
        args.push_back(value);
    }
    return args;
}

// A stream the double cannot open throws, as FileOutputStream's constructor does.
jobject JNICALL NewObjectV(JNIEnv* env, jclass cls, jmethodID id, va_list list) {
    std::vector<jvalue> args = arguments(id, list);
    Obj* made = new Obj(obj(cls)->cls);
    std::string what = made->cls + obj(id)->sig;
    if (what == "java/io/FileOutputStream(Ljava/lang/String;Z)V") {
        made->text = obj(args[0].l)->text;
        made->file = fopen(made->text.c_str(), args[1].z ? "ab" : "wb");
        record({made->file ? "fileoutputstream" : "fileoutputstream-failed", made->text, args[1].z ? "append" : "truncate"});
        if (!made->file) raise(env, "java/io/FileNotFoundException", made->text);
    }
    if (what == "java/io/PrintStream(Ljava/io/OutputStream;)V") made->owner = obj(args[0].l);
    if (what == "varnlet/launcher/LogStream(I)V") {  // a print stream over itself
        made->owner = made;
        made->native = obj(cls)->native;
        made->name = std::to_string(args[0].i);
        made->text = "log slot " + made->name;
    }
    return reinterpret_cast<jobject>(made);
}

jclass JNICALL FindClass(JNIEnv* env, const char* name) {
    // A JVM knows classes by their slashed names only.
    if (strchr(name, '.')) {
        raise(env, "java/lang/NoClassDefFoundError", name);
        return nullptr;
    }
    return reinterpret_cast<jclass>(new Obj(name));
}
// Methods and fields alike; System.out and System.err are the only fields (same-file redirection reads one).
template <class Id>
Id JNICALL GetMemberID(JNIEnv*, jclass cls, const char* name, const char* sig) {
    return reinterpret_cast<Id>(new Obj(obj(cls)->cls, obj(cls), name, sig));
}
jobject JNICALL GetStaticObjectField(JNIEnv*, jclass, jfieldID id) {
    Obj*& stream = streams[obj(id)->name == "err"];
    if (!stream) stream = new Obj("java/io/PrintStream");
    return reinterpret_cast<jobject>(stream);
}
void JNICALL CallStaticVoidMethodV(JNIEnv* env, jclass cls, jmethodID id, va_list list) {
    callStatic(env, cls, id, arguments(id, list));
}
jobject JNICALL CallStaticObjectMethodV(JNIEnv* env, jclass cls, jmethodID id, va_list list) {
    callStatic(env, cls, id, arguments(id, list));
    return nullptr;
}
jstring JNICALL NewStringUTF(JNIEnv*, const char* bytes) {
    Obj* string = new Obj("java/lang/String");
    string->text = bytes;
    return reinterpret_cast<jstring>(string);
}
jobjectArray JNICALL NewObjectArray(JNIEnv*, jsize length, jclass cls, jobject initial) {
    Obj* array = new Obj("[L" + obj(cls)->cls + ";");
    array->items.assign(static_cast<size_t>(length), obj(initial));
    return reinterpret_cast<jobjectArray>(array);
}
void JNICALL SetObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    obj(array)->items.at(static_cast<size_t>(index)) = obj(value);  // out of bounds ends the process
}
jboolean JNICALL ExceptionCheck(JNIEnv* env) { return self(env)->pending ? JNI_TRUE : JNI_FALSE; }
void JNICALL ExceptionClear(JNIEnv* env) { self(env)->pending = nullptr; }
// Like a JVM's: the trace goes to System.err, and the exception is cleared.
void JNICALL ExceptionDescribe(JNIEnv* env) {
    if (Obj* pending = self(env)->pending)
        writeJava(env, true, "Exception in thread \"" + self(env)->name + "\" " + pending->cls + ": " + pending->text + "\n");
    self(env)->pending = nullptr;
}
jthrowable JNICALL ExceptionOccurred(JNIEnv* env) { return reinterpret_cast<jthrowable>(self(env)->pending); }
jint JNICALL Throw(JNIEnv* env, jthrowable thrown) { return self(env)->pending = obj(thrown), 0; }
// The only instance method called returning an object: the scripted exception's toString(), in ASCII.
jobject JNICALL CallObjectMethodV(JNIEnv* env, jobject target, jmethodID, va_list) {
    std::string name = obj(target)->cls;
    for (char& c : name) c = c == '/' ? '.' : c;
    return NewStringUTF(env, (name + ": " + obj(target)->text).c_str());
}
jsize JNICALL GetStringLength(JNIEnv*, jstring s) { return static_cast<jsize>(obj(s)->text.size()); }
void JNICALL GetStringRegion(JNIEnv*, jstring s, jsize start, jsize length, jchar* buffer) {
    for (jsize i = 0; i < length; ++i) buffer[i] = static_cast<unsigned char>(obj(s)->text[static_cast<size_t>(start + i)]);
}
void JNICALL DeleteLocalRef(JNIEnv*, jobject) {}  // nothing is ever freed
jobject JNICALL NewGlobalRef(JNIEnv*, jobject ref) { return ref; }
jclass JNICALL DefineClass(JNIEnv*, const char* name, jobject, const jbyte* bytes, jsize size) {
    // A class file starts with CAFEBABE.
    bool classFile = size > 4 && static_cast<unsigned char>(bytes[0]) == 0xCA && static_cast<unsigned char>(bytes[1]) == 0xFE;
    record({"defineclass", name, classFile ? "class file" : "not a class file"});
    return reinterpret_cast<jclass>(new Obj(name));
}
jint JNICALL RegisterNatives(JNIEnv*, jclass cls, const JNINativeMethod* methods, jint count) {
    for (jint i = 0; i < count; ++i) {
        record({"native", obj(cls)->cls, methods[i].name, methods[i].signature});
        if (std::string(methods[i].name) == "write0" && std::string(methods[i].signature) == "(I[BII)Z")
            obj(cls)->native = methods[i].fnPtr;
    }
    return 0;
}
void JNICALL GetByteArrayRegion(JNIEnv*, jbyteArray array, jsize start, jsize length, jbyte* buffer) {
    memcpy(buffer, obj(array)->text.data() + start, static_cast<size_t>(length));
}

JNINativeInterface_ functionTable() {
    JNINativeInterface_ t = {};
    t.FindClass = FindClass;
    t.GetMethodID = GetMemberID<jmethodID>;
    t.GetStaticMethodID = GetMemberID<jmethodID>;
    t.GetStaticFieldID = GetMemberID<jfieldID>;
    t.GetStaticObjectField = GetStaticObjectField;
    t.NewObjectV = NewObjectV;
    t.CallStaticVoidMethodV = CallStaticVoidMethodV;
    t.CallStaticObjectMethodV = CallStaticObjectMethodV;
    t.NewStringUTF = NewStringUTF;
    t.NewObjectArray = NewObjectArray;
    t.SetObjectArrayElement = SetObjectArrayElement;
    t.ExceptionCheck = ExceptionCheck;
    t.ExceptionClear = ExceptionClear;
    t.ExceptionDescribe = ExceptionDescribe;
    t.ExceptionOccurred = ExceptionOccurred;
    t.Throw = Throw;
    t.CallObjectMethodV = CallObjectMethodV;
    t.GetStringLength = GetStringLength;
    t.GetStringRegion = GetStringRegion;
    t.DeleteLocalRef = DeleteLocalRef;
    t.NewGlobalRef = NewGlobalRef;
    t.DefineClass = DefineClass;
    t.RegisterNatives = RegisterNatives;
    t.GetByteArrayRegion = GetByteArrayRegion;
    return t;
}
const JNINativeInterface_ table = functionTable();

JNIEnv* attach(const std::string& name) {
    Thread* thread = new Thread{{&table}, name, nullptr};
    TlsSetValue(threadSlot, thread);
    InterlockedIncrement(&liveThreads);
    return &thread->env;
}

jint JNICALL AttachCurrentThread(JavaVM*, void** penv, void* args) {
    const JavaVMAttachArgs* request = static_cast<const JavaVMAttachArgs*>(args);
    std::string name = request && request->name ? request->name : "Thread-" + std::to_string(++unnamedThreads);
    record({"attach", name});
    *penv = attach(name);
    return JNI_OK;
}
jint JNICALL DetachCurrentThread(JavaVM*) {
    if (TlsGetValue(threadSlot)) InterlockedDecrement(&liveThreads);
    TlsSetValue(threadSlot, nullptr);
    return JNI_OK;
}
// Waits, as a JVM does, for every other live thread (attached, or started by main), here at
// most TESTJVM_DESTROY_TIMEOUT ms (30 s by default).
jint JNICALL DestroyJavaVM(JavaVM*) {
    LONG own = TlsGetValue(threadSlot) ? 1 : 0;
    DWORD limit = strtoul(script("destroy_timeout").c_str(), nullptr, 10);
    for (DWORD waited = 0; liveThreads > own && waited < (limit ? limit : 30000); waited += 10) Sleep(10);
    return JNI_OK;
}
jint JNICALL GetEnv(JavaVM*, void**, jint) { return JNI_EVERSION; }  // no tool interface
const JNIInvokeInterface_ invokeInterface = {nullptr, nullptr, nullptr, DestroyJavaVM, AttachCurrentThread,
                                             DetachCurrentThread, GetEnv, nullptr};
JavaVM theVm = {&invokeInterface};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID);
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        module = instance;
        InitializeCriticalSection(&recordLock);
    }
    return TRUE;
}

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* args) {
    const JavaVMInitArgs* init = static_cast<const JavaVMInitArgs*>(args);
    for (jint i = 0; i < init->nOptions; ++i) {
        options.push_back(init->options[i].optionString);
        if (options.back() == "exit") exitHook = reinterpret_cast<void(JNICALL*)(jint)>(init->options[i].extraInfo);
    }
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(module, path, sizeof path);
    record({"library", std::string(path, n < sizeof path ? n : 0), std::to_string(testjvm_runtime_ready())});
    for (const std::string& option : options) record({"option", option});
    if (jint result = static_cast<jint>(strtol(script("create").c_str(), nullptr, 10))) return result;
    record({"create"});
    threadSlot = TlsAlloc();
    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    *pvm = &theVm;
    *penv = attach("main");
    return JNI_OK;
}

// The launcher checks only that this export is there.
extern "C" JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void*) { return JNI_OK; }
