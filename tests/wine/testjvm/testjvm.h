/* The JVM test double: it behaves like a Windows jvm.dll as far as the launcher can see,
   writes down what it was given in a record file, and acts out scripted behaviour. */
#pragma once
#define _JNI_IMPLEMENTATION_
#include <jni.h>

#include <cstdarg>
#include <string>
#include <vector>

namespace testjvm {

// Every Java object of the double, handed out as jobject / jclass / jstring / jmethodID.
// Objects are never freed: a handle must never be reused for another object.
struct Object {
    std::string className;          // the class of an object, the class itself for a class
    std::string text;               // string bytes; file name of a file stream
    std::vector<Object*> elements;  // array elements
    const Object* owner = nullptr;  // the class of a method; the file stream of a print stream
    std::string name, signature;    // methods and fields
    void* file = nullptr;  // FILE* of a file stream
};
Object* newObject(const std::string& className);
inline Object* asObject(const void* handle) { return static_cast<Object*>(const_cast<void*>(handle)); }

// One attached thread: JNIEnv is the first member, so a JNIEnv* is a ThreadEnv*.
struct ThreadEnv {
    JNIEnv env;
    std::string name;
    Object* pending = nullptr;  // the pending exception, if any
};
inline ThreadEnv* fromEnv(JNIEnv* env) { return reinterpret_cast<ThreadEnv*>(env); }
std::string threadName(JNIEnv* env);
// Throws on the thread: the call that threw returns a null / zero result.
void throwNew(JNIEnv* env, const std::string& className, const std::string& message);

// The record file: one event a line, fields separated by tabs; tab, newline, carriage
// return and backslash inside a field are escaped as \t \n \r \\.
void record(const std::vector<std::string>& fields);
std::string hex32(unsigned value);
std::string modulePath();  // which of several copies a launcher loaded

// Scripted behaviour: environment variable TESTJVM_<KEY> first, then a JVM option
// "-Dtestjvm.<key>=<value>"; empty when neither is set.
void setScriptOptions(const std::vector<std::string>& options);
std::string script(const char* key);

// The "exit" option's hook, called by System.exit before the process ends.
extern void(JNICALL* exitHook)(jint code);

// System.out and System.err: the process's streams until redirected.
void writeJavaErr(const std::string& text);
Object* javaStream(bool err);

// The static methods and constructors the double knows; anything else is recorded.
jvalue callStatic(JNIEnv* env, Object* cls, Object* method, const jvalue* args);
Object* construct(JNIEnv* env, Object* cls, Object* method, const jvalue* args);

const JNINativeInterface_* functionTable();
void initCalls();
// Live threads DestroyJavaVM waits for: attached threads and threads a scripted main left.
void threadStarted();
void threadEnded();

}  // namespace testjvm
