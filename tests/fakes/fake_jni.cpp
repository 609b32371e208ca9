// The recording fake of the JVM library and its JNI tables.
#include "fake_jni.h"

#include <cstring>

#include "fake_platform.h"
#include "platform/platform.h"

FakeJni* FakeJni::current = nullptr;

namespace {

const char kLibraryHandle = 'L';

FakeJavaObject* object(const void* handle) { return static_cast<FakeJavaObject*>(const_cast<void*>(handle)); }
std::string nameOf(const void* handle) { return handle ? object(handle)->text : std::string("(null)"); }
FakeJni& fake() { return *FakeJni::current; }

PlatformHandle loadLibrary(const char* path, const char*) {
    if (fake().loadableLibraries.count(path)) return const_cast<char*>(&kLibraryHandle);
    Platform.setLastError(193);
    return nullptr;
}

jint JNICALL createJavaVM(JavaVM** vm, void** env, void*) {
    *vm = fake().vm();
    *env = fake().env();
    return JNI_OK;
}

jint JNICALL defaultInitArgs(void*) { return JNI_OK; }

void* getProcAddress(PlatformHandle, const char* name) {
    if (fake().missingExports.count(name)) return nullptr;
    if (strcmp(name, "JNI_CreateJavaVM") == 0) return reinterpret_cast<void*>(createJavaVM);
    if (strcmp(name, "JNI_GetDefaultJavaVMInitArgs") == 0) return reinterpret_cast<void*>(defaultInitArgs);
    return nullptr;
}

jint JNICALL attachCurrentThread(JavaVM*, void** env, void* argsPointer) {
    FakeJni& f = fake();
    const JavaVMAttachArgs* args = static_cast<const JavaVMAttachArgs*>(argsPointer);
    f.calls.push_back("AttachCurrentThread");
    f.attachVersion = args ? args->version : 0;
    f.attachName = args && args->name ? args->name : "";
    if (f.attachResult != JNI_OK) return f.attachResult;
    *env = f.env();
    return JNI_OK;
}
jint JNICALL detachCurrentThread(JavaVM*) {
    fake().calls.push_back("DetachCurrentThread");
    return JNI_OK;
}

jboolean JNICALL exceptionCheck(JNIEnv*) { return fake().pending ? JNI_TRUE : JNI_FALSE; }
void JNICALL exceptionDescribe(JNIEnv*) { ++fake().described; }
void JNICALL exceptionClear(JNIEnv*) { fake().pending = false; }
jstring JNICALL newStringUTF(JNIEnv*, const char* text) {
    return static_cast<jstring>(fake().result(std::string("NewStringUTF:") + text, fake().make(text)));
}
jclass JNICALL findClass(JNIEnv*, const char* name) {
    return static_cast<jclass>(fake().result(std::string("FindClass:") + name, fake().make(name)));
}
template <typename Id>
Id member(const char* kind, jclass type, const char* name, const char* signature) {
    std::string member = nameOf(type) + "." + name + signature;
    return reinterpret_cast<Id>(fake().result(kind + (":" + member), fake().make(member)));
}
jmethodID JNICALL getMethodID(JNIEnv*, jclass type, const char* name, const char* signature) {
    return member<jmethodID>("GetMethodID", type, name, signature);
}
jmethodID JNICALL getStaticMethodID(JNIEnv*, jclass type, const char* name, const char* signature) {
    return member<jmethodID>("GetStaticMethodID", type, name, signature);
}
jfieldID JNICALL getStaticFieldID(JNIEnv*, jclass type, const char* name, const char* signature) {
    return member<jfieldID>("GetStaticFieldID", type, name, signature);
}
jobject JNICALL getStaticObjectField(JNIEnv*, jclass, jfieldID field) {
    return fake().result("GetStaticObjectField:" + nameOf(field), fake().make("value of " + nameOf(field)));
}
jobject JNICALL newObjectV(JNIEnv*, jclass type, jmethodID, va_list) {
    return fake().result("NewObject:" + nameOf(type), fake().make(nameOf(type)));
}
jobject JNICALL callStaticObjectMethodV(JNIEnv*, jclass, jmethodID method, va_list) {
    return fake().result("CallStaticObjectMethod:" + nameOf(method), nullptr);
}
void JNICALL callStaticVoidMethodV(JNIEnv*, jclass, jmethodID method, va_list args) {
    FakeJni& f = fake();
    f.lastStaticVoidMethod = nameOf(method);
    f.lastCallArguments.clear();
    if (f.lastStaticVoidMethod.find("([Ljava/lang/String;)V") != std::string::npos)
        for (FakeJavaObject* element : object(va_arg(args, jobject))->elements)
            f.lastCallArguments.push_back(element ? element->text : "(null)");
    f.result("CallStaticVoidMethod:" + f.lastStaticVoidMethod, nullptr);
}
jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass type, jobject) {
    FakeJavaObject* array = fake().make(nameOf(type) + "[]");
    array->elements.assign(static_cast<size_t>(length), nullptr);
    return static_cast<jobjectArray>(fake().result("NewObjectArray:" + std::to_string(length), array));
}
void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    fake().result("SetObjectArrayElement:" + std::to_string(index), nullptr);
    if (!fake().pending) object(array)->elements.at(static_cast<size_t>(index)) = object(value);
}
void JNICALL deleteLocalRef(JNIEnv*, jobject) {}

}  // namespace

FakeJni::FakeJni() {
    current = this;
    memset(&functions_, 0, sizeof functions_);
    memset(&invoke_, 0, sizeof invoke_);
    functions_.ExceptionCheck = exceptionCheck;
    functions_.ExceptionDescribe = exceptionDescribe;
    functions_.ExceptionClear = exceptionClear;
    functions_.NewStringUTF = newStringUTF;
    functions_.FindClass = findClass;
    functions_.GetMethodID = getMethodID;
    functions_.GetStaticMethodID = getStaticMethodID;
    functions_.GetStaticFieldID = getStaticFieldID;
    functions_.GetStaticObjectField = getStaticObjectField;
    functions_.NewObjectV = newObjectV;
    functions_.CallStaticObjectMethodV = callStaticObjectMethodV;
    functions_.CallStaticVoidMethodV = callStaticVoidMethodV;
    functions_.NewObjectArray = newObjectArray;
    functions_.SetObjectArrayElement = setObjectArrayElement;
    functions_.DeleteLocalRef = deleteLocalRef;
    invoke_.AttachCurrentThread = attachCurrentThread;
    invoke_.DetachCurrentThread = detachCurrentThread;
    env_.functions = &functions_;
    vm_.functions = &invoke_;
    Platform.loadLibrary = loadLibrary;
    Platform.getProcAddress = getProcAddress;
}

FakeJni::~FakeJni() {
    Platform.loadLibrary = defaultPlatformOps().loadLibrary;
    Platform.getProcAddress = defaultPlatformOps().getProcAddress;
    current = nullptr;
}

FakeJavaObject* FakeJni::make(const std::string& text) {
    objects_.push_back(FakeJavaObject{text, {}});
    return &objects_.back();
}

jobject FakeJni::result(const std::string& call, FakeJavaObject* made) {
    calls.push_back(call);
    if (throwOn.count(call)) pending = true;
    if (pending || nullOn.count(call)) return nullptr;
    return reinterpret_cast<jobject>(made);
}

size_t FakeJni::countCalls(const std::string& prefix) const {
    size_t n = 0;
    for (const std::string& c : calls) n += (c + '\n').compare(0, prefix.size(), prefix) == 0;
    return n;
}
