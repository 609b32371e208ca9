/* What the double's Java methods do: system properties, stream redirection, System.exit,
   the application's main with its scripted behaviour, and the file and print streams. */
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "testjvm.h"

namespace testjvm {
namespace {

Object* javaStreams[2];  // the print streams behind System.out and System.err
volatile LONG mainsRunning;
HANDLE stopEvent;

const char* text(const jvalue& value) {
    Object* object = asObject(value.l);
    return object ? object->text.c_str() : "<null>";
}

// The file behind System.out / System.err, or the process's own stream.
FILE* streamFile(bool err) {
    const Object* fileStream = javaStreams[err] ? javaStreams[err]->owner : nullptr;
    return fileStream ? static_cast<FILE*>(fileStream->file) : err ? stderr : stdout;
}

void writeJava(bool err, const std::string& textOut) {
    FILE* f = streamFile(err);
    fwrite(textOut.data(), 1, textOut.size(), f);
    fflush(f);
}

DWORD WINAPI lingerThread(LPVOID ms) {
    Sleep(static_cast<DWORD>(reinterpret_cast<uintptr_t>(ms)));
    record({"linger-end"});
    threadEnded();
    return 0;
}

unsigned number(const std::string& action, unsigned fallback) {
    size_t eq = action.find('=');
    return eq == std::string::npos ? fallback : static_cast<unsigned>(strtoul(action.c_str() + eq + 1, nullptr, 10));
}

void exitProcess(JNIEnv* env, unsigned status) {
    record({"exit", std::to_string(status), threadName(env)});
    fflush(nullptr);
    // Like a real JVM: the exit hook runs first, and the process ends if it returns.
    if (exitHook) exitHook(static_cast<jint>(status));
    ExitProcess(status);
}

// TESTJVM_MAIN: a comma-separated list of print, throw, exit=N, linger=MS, wait=MS.
void runMain(JNIEnv* env, Object* cls, const jvalue* args) {
    std::vector<std::string> fields = {"main", threadName(env), cls->className};
    char cwd[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(sizeof cwd, cwd);
    fields.push_back(n > 0 && n < sizeof cwd ? cwd : "<unreadable>");
    Object* array = asObject(args[0].l);
    fields.push_back(array ? std::to_string(array->elements.size()) : "<null array>");
    for (Object* element : array ? array->elements : std::vector<Object*>()) fields.push_back(element ? element->text : "<null>");
    record(fields);

    // A second main while one runs is the stop call of a service.
    bool stopCall = InterlockedIncrement(&mainsRunning) > 1;
    if (stopCall) SetEvent(stopEvent);
    std::string actions = stopCall ? "" : script("main") + ",";
    for (size_t start = 0, end; (end = actions.find(',', start)) != std::string::npos; start = end + 1) {
        std::string action = actions.substr(start, end - start);
        if (action == "print") {
            writeJava(false, "testjvm main: out\n");
            writeJava(true, "testjvm main: err\n");
        } else if (action == "throw") {
            throwNew(env, "java/lang/IllegalStateException", "scripted failure in main");
        } else if (action.compare(0, 4, "exit") == 0) {
            exitProcess(env, number(action, 0));
        } else if (action.compare(0, 6, "linger") == 0) {
            threadStarted();
            record({"linger-start"});
            CloseHandle(CreateThread(nullptr, 0, lingerThread,
                                     reinterpret_cast<LPVOID>(static_cast<uintptr_t>(number(action, 1000))), 0, nullptr));
        } else if (action.compare(0, 4, "wait") == 0) {
            DWORD waited = WaitForSingleObject(stopEvent, number(action, 60000));
            record({waited == WAIT_OBJECT_0 ? "main-stopped" : "main-wait-timeout", threadName(env)});
        }
    }
    record({"main-end", threadName(env), fromEnv(env)->pending ? "throw" : "return"});
    InterlockedDecrement(&mainsRunning);
}

}  // namespace

void writeJavaErr(const std::string& textOut) { writeJava(true, textOut); }

Object* javaStream(bool err) {
    if (!javaStreams[err]) javaStreams[err] = newObject("java/io/PrintStream");  // on the process's stream
    return javaStreams[err];
}

void initCalls() {
    if (!stopEvent) stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

jvalue callStatic(JNIEnv* env, Object* cls, Object* method, const jvalue* args) {
    jvalue result;
    result.j = 0;
    const std::string& owner = method->owner->className;
    const std::string& name = method->name;
    const std::string& sig = method->signature;
    bool system = owner == "java/lang/System";
    if (system && name == "setProperty" && sig == "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;") {
        record({"property", text(args[0]), text(args[1]), threadName(env)});
    } else if (system && (name == "setOut" || name == "setErr") && sig == "(Ljava/io/PrintStream;)V") {
        Object* printStream = asObject(args[0].l);
        const Object* fileStream = printStream ? printStream->owner : nullptr;
        record({"stream", name, fileStream ? fileStream->text : "<not a file stream>", threadName(env)});
        javaStreams[name == "setErr"] = printStream;
    } else if (system && name == "exit" && sig == "(I)V") {
        exitProcess(env, static_cast<unsigned>(args[0].i));
    } else if (name == "main" && sig == "([Ljava/lang/String;)V") {
        runMain(env, cls, args);
    } else {
        record({"call", owner, name, sig, threadName(env)});
    }
    return result;
}

Object* construct(JNIEnv* env, Object* cls, Object* method, const jvalue* args) {
    const std::string& sig = method->signature;
    if (cls->className == "java/io/FileOutputStream" && method->name == "<init>" && sig == "(Ljava/lang/String;Z)V") {
        std::string file = text(args[0]);
        bool append = args[1].z != JNI_FALSE;
        FILE* f = fopen(file.c_str(), append ? "ab" : "wb");
        record({f ? "fileoutputstream" : "fileoutputstream-fail", file, append ? "append" : "truncate"});
        if (!f) {
            throwNew(env, "java/io/FileNotFoundException", file + " (The system cannot find the path specified)");
            return nullptr;
        }
        Object* stream = newObject(cls->className);
        stream->text = file;
        stream->file = f;
        return stream;
    }
    if (cls->className == "java/io/PrintStream" && method->name == "<init>" && sig == "(Ljava/io/OutputStream;)V") {
        Object* stream = newObject(cls->className);
        stream->owner = asObject(args[0].l);
        return stream;
    }
    record({"newobject", cls->className, method->name, sig});
    return newObject(cls->className);
}

}  // namespace testjvm
