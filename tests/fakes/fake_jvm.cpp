// The fake JVM library: objects are their texts, each call is recorded.
#include "fakes/fake_jvm.h"

#include <cstring>

#include "platform/platform.h"
#include "platform/unicode.h"

namespace {

// Objects are their texts: class or member name, string contents.
std::string nameOf(const void* handle) { return handle ? *static_cast<const std::string*>(handle) : "(null)"; }

FakeJvm* fake;

template <typename T>
T made(const std::string& call, const std::string& text) {
    return reinterpret_cast<T>(fake->make(call, text));
}
template <typename Id>
Id member(const char* kind, jclass type, const char* name, const char* signature) {
    return made<Id>(kind + (":" + nameOf(type)) + "." + name + signature, nameOf(type) + "." + name + signature);
}

}  // namespace

FakeJvm::FakeJvm() {
    fake = this;
    functions.ExceptionCheck = [](JNIEnv*) -> jboolean { return fake->pending; };
    functions.ExceptionDescribe = [](JNIEnv*) { ++fake->described; };
    functions.ExceptionClear = [](JNIEnv*) { fake->pending = false; };
    functions.ExceptionOccurred = [](JNIEnv*) -> jthrowable {
        if (!fake->pending) return nullptr;
        fake->objects.push_back(fake->thrownText);
        return reinterpret_cast<jthrowable>(&fake->objects.back());
    };
    functions.Throw = [](JNIEnv*, jthrowable) -> jint { return fake->pending = true, 0; };
    functions.CallObjectMethodV = [](JNIEnv*, jobject target, jmethodID method, va_list) {
        return fake->make("CallObjectMethod:" + nameOf(method), nameOf(target));
    };
    functions.GetStringLength = [](JNIEnv*, jstring s) { return static_cast<jsize>(utf8ToUtf16(nameOf(s)).size()); };
    functions.GetStringRegion = [](JNIEnv*, jstring s, jsize start, jsize length, jchar* out) {
        std::u16string text = utf8ToUtf16(nameOf(s));
        std::copy(text.begin() + start, text.begin() + start + length, out);
    };
    functions.NewStringUTF = [](JNIEnv*, const char* s) { return made<jstring>(std::string("NewStringUTF:") + s, s); };
    functions.FindClass = [](JNIEnv*, const char* s) { return made<jclass>(std::string("FindClass:") + s, s); };
    functions.GetMethodID = [](JNIEnv*, jclass c, const char* n, const char* s) {
        return member<jmethodID>("GetMethodID", c, n, s);
    };
    functions.GetStaticMethodID = [](JNIEnv*, jclass c, const char* n, const char* s) {
        return member<jmethodID>("GetStaticMethodID", c, n, s);
    };
    functions.GetStaticFieldID = [](JNIEnv*, jclass c, const char* n, const char* s) {
        return member<jfieldID>("GetStaticFieldID", c, n, s);
    };
    functions.GetStaticObjectField = [](JNIEnv*, jclass, jfieldID field) {
        return fake->make("GetStaticObjectField:" + nameOf(field), "value of " + nameOf(field));
    };
    functions.NewObjectV = [](JNIEnv*, jclass type, jmethodID, va_list) {
        return fake->make("NewObject:" + nameOf(type), nameOf(type));
    };
    functions.CallStaticObjectMethodV = [](JNIEnv*, jclass, jmethodID method, va_list) {
        return fake->result("CallStaticObjectMethod:" + nameOf(method), nullptr);
    };
    functions.CallStaticVoidMethodV = [](JNIEnv*, jclass, jmethodID method, va_list) {
        fake->result("CallStaticVoidMethod:" + nameOf(method), nullptr);
    };
    functions.NewObjectArray = [](JNIEnv*, jsize length, jclass type, jobject) {
        return static_cast<jobjectArray>(fake->make("NewObjectArray:" + std::to_string(length), nameOf(type) + "[]"));
    };
    functions.SetObjectArrayElement = [](JNIEnv*, jobjectArray, jsize index, jobject) {
        fake->result("SetObjectArrayElement:" + std::to_string(index), nullptr);
    };
    functions.DeleteLocalRef = [](JNIEnv*, jobject) {};
    invocation.AttachCurrentThread = [](JavaVM*, void** attachedEnv, void* argsPointer) {
        const JavaVMAttachArgs* args = static_cast<const JavaVMAttachArgs*>(argsPointer);
        fake->calls.push_back("AttachCurrentThread");
        fake->attachVersion = args ? args->version : 0;
        fake->attachName = args && args->name ? args->name : "";
        *attachedEnv = &fake->env;
        return fake->attachResult;
    };
    invocation.DestroyJavaVM = [](JavaVM*) { return fake->calls.push_back("DestroyJavaVM"), JNI_OK; };
    invocation.DetachCurrentThread = [](JavaVM*) {
        fake->calls.push_back("DetachCurrentThread");
        return JNI_OK;
    };
    Platform.library.load = [](const char*, const char*) -> PlatformHandle { return fake; };
    Platform.library.symbol = [](PlatformHandle, const char* name) -> void* {
        using Create = jint (*)(JavaVM**, void**, void*);
        using Defaults = jint (*)(void*);
        if (std::strcmp(name, "JNI_CreateJavaVM") == 0)
            return reinterpret_cast<void*>(static_cast<Create>([](JavaVM** createdVm, void** createdEnv, void*) {
                *createdVm = &fake->vm;
                *createdEnv = &fake->env;
                return JNI_OK;
            }));
        if (std::strcmp(name, "JNI_GetDefaultJavaVMInitArgs") == 0)
            return reinterpret_cast<void*>(static_cast<Defaults>([](void*) { return JNI_OK; }));
        return nullptr;
    };
}
