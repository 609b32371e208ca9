/* The JVM test double: shared declarations of its object store, record file, script and
   thread environments. The double behaves like a Windows jvm.dll as far as the launcher
   can see, writes down what it was given, and acts out scripted behaviour. */
#pragma once
#define _JNI_IMPLEMENTATION_
#include <jni.h>

#include <cstdarg>
#include <string>
#include <vector>

namespace testjvm {

// Every Java object of the double, handed out as jobject / jclass / jstring / jmethodID.
enum class Kind { Class, String, Array, Method, FileStream, PrintStream, Throwable, Plain };

struct Object {
    Kind kind;
    std::string className;             // the class for objects, the class itself for Class
    std::string text;                  // string bytes; file name of a file stream
    std::vector<Object*> elements;     // array elements
    const Object* owner = nullptr;      // the class of a method; the file stream of a print stream
    std::string name, signature;       // methods
    bool isStatic = false;
    void* file = nullptr;              // FILE* of a file stream
};

// The "exit" option's hook, called by System.exit before the process ends.
extern void(JNICALL* exitHook)(jint code);

Object* newObject(Kind kind, const std::string& className);
Object* asObject(const void* handle);  // null for a null handle

// One attached thread: JNIEnv must be the first member so a JNIEnv* is a ThreadEnv*.
struct ThreadEnv {
    JNIEnv env;
    std::string name;
    Object* pending = nullptr;  // the pending exception, if any
};
ThreadEnv* currentThread();  // null when the calling thread is not attached
ThreadEnv* fromEnv(JNIEnv* env);
std::string threadName(JNIEnv* env);

// Throws on the given thread: the call that threw returns a null / zero result.
void throwNew(JNIEnv* env, const std::string& className, const std::string& message);

// The record file: one event per line, fields separated by tabs; tab, newline, carriage
// return and backslash inside a field are escaped as \t \n \r \\.
void record(const std::vector<std::string>& fields);
std::string hex32(unsigned value);
// The full path this DLL was loaded from: which of several copies a launcher chose.
std::string modulePath();

// Scripted behaviour: environment variable TESTJVM_<KEY> first, then a JVM option
// "-Dtestjvm.<key>=<value>"; empty when neither is set.
void setScriptOptions(const std::vector<std::string>& options);
std::string script(const char* key);

// The streams behind System.out and System.err (stdout/stderr until redirected).
void writeJavaOut(const std::string& text);
void writeJavaErr(const std::string& text);
void setJavaStream(bool err, Object* printStream);
Object* javaStream(bool err);

// Static methods and constructors that the double knows; anything else is recorded.
jvalue callStatic(JNIEnv* env, Object* cls, Object* method, const jvalue* args);
Object* construct(JNIEnv* env, Object* cls, Object* method, const jvalue* args);

// Converts variadic arguments into jvalues, reading them by the method's signature.
std::vector<jvalue> argumentsFromList(const std::string& signature, va_list list);

extern JavaVM TheVm;
const JNINativeInterface_* functionTable();

// Live threads a DestroyJavaVM waits for: attached threads other than the caller, and
// threads a scripted main left running.
void threadStarted();
void threadEnded();
void initCalls();

}  // namespace testjvm
