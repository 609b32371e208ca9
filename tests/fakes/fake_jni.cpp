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

PlatformHandle fakeLoadLibrary(const char* path, const char* extraSearchDir) {
    FakeJni& f = *FakeJni::current;
    f.loadCalls.push_back(std::string(path) + "|" + (extraSearchDir ? extraSearchDir : "(null)"));
    if (!f.loadableLibraries.count(path)) {
        Platform.setLastError(f.loadError);
        return nullptr;
    }
    return const_cast<char*>(&kLibraryHandle);
}

jint JNICALL fakeCreateJavaVM(JavaVM** vm, void** env, void* argsPointer) {
    FakeJni& f = *FakeJni::current;
    const JavaVMInitArgs* args = static_cast<const JavaVMInitArgs*>(argsPointer);
    f.initVersion = args->version;
    f.initOptionCount = args->nOptions;
    f.initOptionsNull = args->options == nullptr;
    f.initIgnoreUnrecognized = args->ignoreUnrecognized == JNI_TRUE;
    for (jint i = 0; i < args->nOptions; ++i) f.initOptions.push_back(args->options[i].optionString);
    if (f.createResult != JNI_OK) return f.createResult;
    f.created = true;
    *vm = f.vm();
    *env = f.env();
    return JNI_OK;
}

jint JNICALL fakeDefaultInitArgs(void*) { return JNI_OK; }

void* fakeGetProcAddress(PlatformHandle, const char* name) {
    FakeJni& f = *FakeJni::current;
    if (f.missingExports.count(name)) return nullptr;
    if (strcmp(name, "JNI_CreateJavaVM") == 0) return reinterpret_cast<void*>(fakeCreateJavaVM);
    if (strcmp(name, "JNI_GetDefaultJavaVMInitArgs") == 0) return reinterpret_cast<void*>(fakeDefaultInitArgs);
    return nullptr;
}

bool fakeFreeLibrary(PlatformHandle) {
    FakeJni::current->freedLibraries.push_back("jvm");
    FakeJni::current->record("FreeLibrary");
    return true;
}

// Invocation interface.
jint JNICALL attachCurrentThread(JavaVM*, void** env, void* argsPointer) {
    FakeJni& f = *FakeJni::current;
    const JavaVMAttachArgs* args = static_cast<const JavaVMAttachArgs*>(argsPointer);
    f.record("AttachCurrentThread");
    f.attachVersion = args ? args->version : 0;
    f.attachName = args && args->name ? args->name : "";
    f.attachGroupNull = args && args->group == nullptr;
    if (f.attachResult != JNI_OK) return f.attachResult;
    *env = f.env();
    return JNI_OK;
}
jint JNICALL detachCurrentThread(JavaVM*) {
    FakeJni::current->record("DetachCurrentThread");
    return JNI_OK;
}
jint JNICALL destroyJavaVM(JavaVM*) {
    FakeJni::current->record("DestroyJavaVM");
    return JNI_OK;
}

// Function table.
jboolean JNICALL exceptionCheck(JNIEnv*) { return FakeJni::current->pending ? JNI_TRUE : JNI_FALSE; }
void JNICALL exceptionDescribe(JNIEnv*) {
    FakeJni::current->record("ExceptionDescribe");
    FakeJni::current->described.push_back("described");
}
void JNICALL exceptionClear(JNIEnv*) {
    FakeJni::current->record("ExceptionClear");
    FakeJni::current->pending = false;
}
jstring JNICALL newStringUTF(JNIEnv*, const char* text) {
    FakeJni& f = *FakeJni::current;
    return static_cast<jstring>(f.result(std::string("NewStringUTF:") + text, f.make("string", text)));
}
jclass JNICALL findClass(JNIEnv*, const char* name) {
    FakeJni& f = *FakeJni::current;
    return static_cast<jclass>(f.result(std::string("FindClass:") + name, f.make("class", name)));
}
jmethodID JNICALL getMethodID(JNIEnv*, jclass type, const char* name, const char* signature) {
    FakeJni& f = *FakeJni::current;
    std::string method = nameOf(type) + "." + name + signature;
    return reinterpret_cast<jmethodID>(f.result("GetMethodID:" + method, f.make("method", method)));
}
jmethodID JNICALL getStaticMethodID(JNIEnv*, jclass type, const char* name, const char* signature) {
    FakeJni& f = *FakeJni::current;
    std::string method = nameOf(type) + "." + name + signature;
    return reinterpret_cast<jmethodID>(f.result("GetStaticMethodID:" + method, f.make("method", method)));
}
jfieldID JNICALL getStaticFieldID(JNIEnv*, jclass type, const char* name, const char*) {
    FakeJni& f = *FakeJni::current;
    std::string field = nameOf(type) + "." + name;
    return reinterpret_cast<jfieldID>(f.result("GetStaticFieldID:" + field, f.make("field", field)));
}
jobject JNICALL getStaticObjectField(JNIEnv*, jclass, jfieldID field) {
    FakeJni& f = *FakeJni::current;
    return f.result("GetStaticObjectField:" + nameOf(field), f.make("object", "value of " + nameOf(field)));
}
jobject JNICALL newObjectV(JNIEnv*, jclass type, jmethodID, va_list) {
    FakeJni& f = *FakeJni::current;
    return f.result("NewObject:" + nameOf(type), f.make("object", nameOf(type)));
}
jobject JNICALL callStaticObjectMethodV(JNIEnv*, jclass, jmethodID method, va_list) {
    FakeJni& f = *FakeJni::current;
    f.result("CallStaticObjectMethod:" + nameOf(method), nullptr);
    return nullptr;
}
void JNICALL callStaticVoidMethodV(JNIEnv*, jclass, jmethodID method, va_list args) {
    FakeJni& f = *FakeJni::current;
    std::string name = nameOf(method);
    f.lastStaticVoidMethod = name;
    f.lastCallArguments.clear();
    if (name.find("([Ljava/lang/String;)V") != std::string::npos) {
        FakeJavaObject* array = object(va_arg(args, jobject));
        for (FakeJavaObject* element : array->elements) f.lastCallArguments.push_back(element ? element->text : "(null)");
    }
    f.result("CallStaticVoidMethod:" + name, nullptr);
}
jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass type, jobject) {
    FakeJni& f = *FakeJni::current;
    FakeJavaObject* array = f.make("array", nameOf(type) + "[]");
    array->elements.assign(static_cast<size_t>(length), nullptr);
    return static_cast<jobjectArray>(f.result("NewObjectArray:" + std::to_string(length), array));
}
void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    FakeJni& f = *FakeJni::current;
    std::string call = "SetObjectArrayElement:" + std::to_string(index);
    f.result(call, nullptr);
    if (!f.pending) object(array)->elements.at(static_cast<size_t>(index)) = object(value);
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
    invoke_.DestroyJavaVM = destroyJavaVM;
    env_.functions = &functions_;
    vm_.functions = &invoke_;
    Platform.loadLibrary = fakeLoadLibrary;
    Platform.getProcAddress = fakeGetProcAddress;
    Platform.freeLibrary = fakeFreeLibrary;
}

FakeJni::~FakeJni() {
    Platform.loadLibrary = defaultPlatformOps().loadLibrary;
    Platform.getProcAddress = defaultPlatformOps().getProcAddress;
    Platform.freeLibrary = defaultPlatformOps().freeLibrary;
    current = nullptr;
}

FakeJavaObject* FakeJni::make(const std::string& kind, const std::string& text) {
    objects_.push_back(FakeJavaObject{kind, text, {}});
    return &objects_.back();
}

void FakeJni::record(const std::string& call) { calls.push_back(call); }

jobject FakeJni::result(const std::string& call, FakeJavaObject* made) {
    record(call);
    if (throwOn.count(call)) {
        pending = true;
        return nullptr;
    }
    if (nullOn.count(call)) return nullptr;
    return reinterpret_cast<jobject>(made);
}

size_t FakeJni::countCalls(const std::string& prefix) const {
    size_t n = 0;
    for (const std::string& c : calls)
        if (c.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
}

bool FakeJni::called(const std::string& call) const {
    for (const std::string& c : calls)
        if (c == call) return true;
    return false;
}
