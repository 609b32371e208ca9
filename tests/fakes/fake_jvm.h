// A recording fake of the JVM library, for what a real JVM cannot act out: it installs itself
// over the library slots of the platform table (the FakePlatform restores them).
#pragma once
#include <algorithm>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "jvm/jni_utils.h"

// The JVM library. Each call is recorded as "Function:subject"; a call listed in throwOn
// raises a Java exception, one in nullOn returns null.
struct FakeJvm {
    std::set<std::string> throwOn, nullOn;
    jint attachResult = JNI_OK, attachVersion = 0;
    std::string attachName;
    bool pending = false;
    std::string thrownText = "java.lang.IllegalStateException: thrown by main";  // its toString()
    size_t described = 0;
    std::vector<std::string> calls;
    std::deque<std::string> objects;
    JNINativeInterface_ functions{};
    JNIInvokeInterface_ invocation{};
    JNIEnv env{&functions};
    JavaVM vm{&invocation};

    jobject result(const std::string& call, std::string* made) {
        calls.push_back(call);
        if (throwOn.count(call)) pending = true;
        return pending || nullOn.count(call) ? nullptr : reinterpret_cast<jobject>(made);
    }
    jobject make(const std::string& call, const std::string& text) {
        objects.push_back(text);
        return result(call, &objects.back());
    }
    size_t count(const std::string& prefix) const {
        return std::count_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    }
    FakeJvm();
};
