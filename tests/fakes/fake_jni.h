// A recording fake of the JVM library for unit tests: loading through the platform table,
// the two exports, attaching and the function-table entries the launcher uses. Each call
// is recorded as "Function:subject"; a call listed in throwOn raises, in nullOn returns null.
#pragma once
#include <jni.h>

#include <deque>
#include <set>
#include <string>
#include <vector>

struct FakeJavaObject {
    std::string text;  // class or member name, string contents
    std::vector<FakeJavaObject*> elements;
};

class FakeJni {
public:
    FakeJni();  // needs a FakePlatform alive; installs the library entries of the table
    ~FakeJni();
    FakeJni(const FakeJni&) = delete;
    FakeJni& operator=(const FakeJni&) = delete;

    std::set<std::string> loadableLibraries;  // others fail to load with error 193
    std::set<std::string> missingExports;

    jint attachResult = JNI_OK;
    jint attachVersion = 0;
    std::string attachName;

    std::set<std::string> throwOn, nullOn;
    bool pending = false;
    size_t described = 0;            // exceptions described
    std::vector<std::string> calls;  // every call, in order (attach and detach too)

    // The last CallStaticVoidMethod: its method and the texts of its String[] argument.
    std::string lastStaticVoidMethod;
    std::vector<std::string> lastCallArguments;

    JavaVM* vm() { return &vm_; }
    JNIEnv* env() { return &env_; }
    size_t countCalls(const std::string& prefix) const;
    bool called(const std::string& call) const { return countCalls(call + '\n') > 0; }

    static FakeJni* current;
    FakeJavaObject* make(const std::string& text);
    jobject result(const std::string& call, FakeJavaObject* object);

private:
    JNINativeInterface_ functions_;
    JNIInvokeInterface_ invoke_;
    JNIEnv env_;
    JavaVM vm_;
    std::deque<FakeJavaObject> objects_;
};
