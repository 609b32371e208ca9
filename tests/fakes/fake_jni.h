// A recording fake of the JVM library for unit tests: library loading through the
// platform table, JNI_CreateJavaVM, the invocation interface and the part of the function
// table the launcher uses. Every call is recorded as "Function:subject"; chosen calls can
// raise a Java exception or return null.
#pragma once
#include <jni.h>

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

struct FakeJavaObject {
    std::string kind;  // "class", "method", "field", "string", "array", "object"
    std::string text;  // class or member name, string contents
    std::vector<FakeJavaObject*> elements;
};

class FakeJni {
public:
    FakeJni();  // needs a FakePlatform alive; installs the library entries of the table
    ~FakeJni();
    FakeJni(const FakeJni&) = delete;
    FakeJni& operator=(const FakeJni&) = delete;

    // Library loading.
    std::set<std::string> loadableLibraries;
    std::set<std::string> missingExports;
    uint32_t loadError = 193;  // the last error a failed load leaves
    std::vector<std::string> loadCalls;  // "path|extraSearchDir"
    std::vector<std::string> freedLibraries;

    // JNI_CreateJavaVM.
    jint createResult = JNI_OK;
    bool created = false;
    jint initVersion = 0;
    jint initOptionCount = -1;
    bool initOptionsNull = false;
    bool initIgnoreUnrecognized = false;
    std::vector<std::string> initOptions;

    // Invocation interface.
    jint attachResult = JNI_OK;
    jint attachVersion = 0;
    std::string attachName;
    bool attachGroupNull = false;

    // Function table behaviour: a recorded call text listed here raises an exception (with
    // the text as its message) or returns null.
    std::set<std::string> throwOn;
    std::set<std::string> nullOn;
    bool pending = false;
    std::vector<std::string> described;  // exceptions described, in order
    std::vector<std::string> calls;      // every call, in order (invocation interface too)

    // Arguments of the last CallStaticVoidMethod, as the texts of the array's strings.
    std::vector<std::string> lastCallArguments;
    std::string lastStaticVoidMethod;

    JavaVM* vm() { return &vm_; }
    JNIEnv* env() { return &env_; }
    size_t countCalls(const std::string& prefix) const;
    bool called(const std::string& call) const;

    static FakeJni* current;

    // Internal: used by the table functions.
    FakeJavaObject* make(const std::string& kind, const std::string& text);
    jobject result(const std::string& call, FakeJavaObject* object);
    void record(const std::string& call);

private:
    JNINativeInterface_ functions_;
    JNIInvokeInterface_ invoke_;
    JNIEnv env_;
    JavaVM vm_;
    std::deque<FakeJavaObject> objects_;
};
