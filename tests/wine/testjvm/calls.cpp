/* What the double's Java methods do: system properties, stream redirection, System.exit,
   the application's main with its scripted behaviour, and the constructors of the file and
   print streams. */
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "testjvm.h"

namespace testjvm {
namespace {

std::map<std::string, std::string> properties;
FILE* javaOut;  // null: the process's stdout / stderr
FILE* javaErr;
Object* javaStreams[2];  // the print streams behind System.out and System.err
volatile LONG mainsRunning;
HANDLE stopEvent;

const char* text(const jvalue& value) {
    Object* object = asObject(value.l);
    return object ? object->text.c_str() : "<null>";
}

void writeTo(FILE* target, FILE* fallback, const std::string& textOut) {
    FILE* f = target ? target : fallback;
    fwrite(textOut.data(), 1, textOut.size(), f);
    fflush(f);
}

DWORD WINAPI lingerThread(LPVOID ms) {
    Sleep(static_cast<DWORD>(reinterpret_cast<uintptr_t>(ms)));
    record({"linger-end"});
    threadEnded();
    return 0;
}

std::vector<std::string> split(const std::string& list) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        parts.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

unsigned number(const std::string& action, unsigned fallback) {
    size_t eq = action.find('=');
    return eq == std::string::npos ? fallback : static_cast<unsigned>(strtoul(action.c_str() + eq + 1, nullptr, 10));
}

void exitProcess(JNIEnv* env, unsigned status) {
    record({"exit", std::to_string(status), threadName(env)});
    if (javaOut) fflush(javaOut);
    if (javaErr) fflush(javaErr);
    fflush(stdout);
    fflush(stderr);
    // Like a real JVM: the exit hook runs first, and the process ends if it returns.
    if (exitHook) exitHook(static_cast<jint>(status));
    ExitProcess(status);
}

void runMain(JNIEnv* env, Object* cls, const jvalue* args) {
    std::vector<std::string> fields = {"main", threadName(env), cls->className};
    char cwd[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(sizeof cwd, cwd);
    fields.push_back(n > 0 && n < sizeof cwd ? cwd : "<unreadable>");
    Object* array = asObject(args ? args[0].l : nullptr);
    if (!array) {
        fields.push_back("<null array>");
    } else {
        fields.push_back(std::to_string(array->elements.size()));
        for (Object* element : array->elements) fields.push_back(element ? element->text : "<null>");
    }
    record(fields);

    // A second main while one runs is the stop call of a service.
    if (InterlockedIncrement(&mainsRunning) > 1) {
        SetEvent(stopEvent);
        if (script("stop") == "throw") throwNew(env, "java/lang/IllegalStateException", "scripted failure in stop");
        record({"main-end", threadName(env), env && fromEnv(env)->pending ? "throw" : "return"});
        InterlockedDecrement(&mainsRunning);
        return;
    }
    for (const std::string& action : split(script("main"))) {
        if (action == "print") {
            writeJavaOut("testjvm main: out\n");
            writeJavaErr("testjvm main: err\n");
        } else if (action == "throw") {
            throwNew(env, "java/lang/IllegalStateException", "scripted failure in main");
        } else if (action.compare(0, 4, "exit") == 0) {
            exitProcess(env, number(action, 0));
        } else if (action.compare(0, 5, "sleep") == 0) {
            Sleep(number(action, 0));
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

void writeJavaOut(const std::string& textOut) { writeTo(javaOut, stdout, textOut); }
void writeJavaErr(const std::string& textOut) { writeTo(javaErr, stderr, textOut); }

Object* javaStream(bool err) {
    Object*& stream = javaStreams[err];
    if (!stream) stream = newObject(Kind::PrintStream, "java/io/PrintStream");  // on the process's stream
    return stream;
}

void setJavaStream(bool err, Object* printStream) {
    javaStreams[err] = printStream;
    const Object* fileStream = printStream ? printStream->owner : nullptr;
    FILE* f = fileStream ? static_cast<FILE*>(fileStream->file) : nullptr;
    (err ? javaErr : javaOut) = f;
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
    if (owner == "java/lang/System" && name == "setProperty" &&
        sig == "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;") {
        record({"property", text(args[0]), text(args[1]), threadName(env)});
        auto found = properties.find(text(args[0]));
        if (found != properties.end()) {
            Object* previous = newObject(Kind::String, "java/lang/String");
            previous->text = found->second;
            result.l = reinterpret_cast<jobject>(previous);
        }
        properties[text(args[0])] = text(args[1]);
    } else if (owner == "java/lang/System" && (name == "setOut" || name == "setErr") &&
               sig == "(Ljava/io/PrintStream;)V") {
        Object* printStream = asObject(args[0].l);
        const Object* fileStream = printStream ? printStream->owner : nullptr;
        record({"stream", name, fileStream ? fileStream->text : "<not a file stream>", threadName(env)});
        setJavaStream(name == "setErr", printStream);
    } else if (owner == "java/lang/System" && name == "exit" && sig == "(I)V") {
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
        Object* stream = newObject(Kind::FileStream, cls->className);
        stream->text = file;
        stream->file = f;
        return stream;
    }
    if (cls->className == "java/io/PrintStream" && method->name == "<init>" && sig == "(Ljava/io/OutputStream;)V") {
        Object* stream = newObject(Kind::PrintStream, cls->className);
        stream->owner = asObject(args[0].l);
        return stream;
    }
    record({"newobject", cls->className, method->name, sig});
    return newObject(Kind::Plain, cls->className);
}

std::vector<jvalue> argumentsFromList(const std::string& signature, va_list list) {
    std::vector<jvalue> args;
    size_t i = signature.find('(');
    if (i == std::string::npos) return args;
    for (++i; i < signature.size() && signature[i] != ')'; ++i) {
        jvalue value;
        value.j = 0;
        char type = signature[i];
        while (signature[i] == '[') ++i;
        if (signature[i] == 'L') i = signature.find(';', i);
        if (i == std::string::npos) break;
        switch (type) {
        case 'Z': value.z = static_cast<jboolean>(va_arg(list, int)); break;
        case 'B': value.b = static_cast<jbyte>(va_arg(list, int)); break;
        case 'C': value.c = static_cast<jchar>(va_arg(list, int)); break;
        case 'S': value.s = static_cast<jshort>(va_arg(list, int)); break;
        case 'I': value.i = va_arg(list, jint); break;
        case 'J': value.j = va_arg(list, jlong); break;
        case 'F': value.f = static_cast<jfloat>(va_arg(list, double)); break;
        case 'D': value.d = va_arg(list, double); break;
        default: value.l = va_arg(list, jobject); break;
        }
        args.push_back(value);
    }
    // Room for the arguments a method is given even when its signature was malformed.
    args.resize(args.size() + 4);
    return args;
}

}  // namespace testjvm
