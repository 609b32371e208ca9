/* The JNI function table of the double: the entries the launcher uses, each recording what
   it was given. Every other entry records its slot number and ends the process with exit
   code 70, so a call the double does not know is seen at once. */
#include <windows.h>

#include <cstdio>
#include <map>
#include <utility>

#include "testjvm.h"

namespace testjvm {

Object* newObject(const std::string& className) {
    Object* object = new Object();
    object->className = className;
    return object;
}

std::string threadName(JNIEnv* env) { return env ? fromEnv(env)->name : std::string("<no thread>"); }

void throwNew(JNIEnv* env, const std::string& className, const std::string& message) {
    Object* throwable = newObject(className);
    throwable->text = message;
    fromEnv(env)->pending = throwable;
    record({"throw", className, message, threadName(env)});
}

namespace {

// Modified UTF-8 as NewStringUTF expects it: no 4-byte forms, well-formed continuation bytes.
bool isModifiedUtf8(const unsigned char* p) {
    while (*p) {
        unsigned char c = *p++;
        int follow = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : -1;
        if (follow < 0) return false;
        for (int i = 0; i < follow; ++i, ++p)
            if ((*p & 0xC0) != 0x80) return false;
    }
    return true;
}

jclass JNICALL FindClass(JNIEnv* env, const char* name) {
    static std::map<std::string, Object*> classes;  // one jclass per name, as a JVM gives
    std::string text = name;
    record({"findclass", text, threadName(env)});
    // A JVM looks classes up by their slashed name only.
    if (text == script("fail_class") || text.find('.') != std::string::npos) {
        throwNew(env, "java/lang/NoClassDefFoundError", text);
        return nullptr;
    }
    Object*& cls = classes[text];
    if (!cls) cls = newObject(text);
    return reinterpret_cast<jclass>(cls);
}

jmethodID methodId(const char* event, jclass cls, const char* name, const char* sig) {
    Object* owner = asObject(cls);
    record({event, owner->className, name, sig});
    Object* method = newObject(owner->className);
    method->owner = owner;
    method->name = name;
    method->signature = sig;
    return reinterpret_cast<jmethodID>(method);
}
jmethodID JNICALL GetMethodID(JNIEnv*, jclass cls, const char* name, const char* sig) {
    return methodId("method", cls, name, sig);
}
jmethodID JNICALL GetStaticMethodID(JNIEnv*, jclass cls, const char* name, const char* sig) {
    return methodId("staticmethod", cls, name, sig);
}

// The launcher is C++: jni.h's member functions call the va_list forms. Its methods take
// objects, booleans and ints.
std::vector<jvalue> argumentsFromList(jmethodID id, va_list list) {
    std::vector<jvalue> args;
    const std::string& signature = asObject(id)->signature;
    for (size_t i = signature.find('(') + 1; i < signature.size() && signature[i] != ')'; ++i) {
        jvalue value;
        value.j = 0;
        char type = signature[i];
        while (signature[i] == '[') ++i;
        if (signature[i] == 'L') i = signature.find(';', i);
        if (type == 'Z') value.z = static_cast<jboolean>(va_arg(list, int));
        else if (type == 'I') value.i = va_arg(list, jint);
        else value.l = va_arg(list, jobject);
        args.push_back(value);
    }
    return args;
}

jobject JNICALL NewObjectV(JNIEnv* env, jclass cls, jmethodID id, va_list list) {
    std::vector<jvalue> args = argumentsFromList(id, list);
    return reinterpret_cast<jobject>(construct(env, asObject(cls), asObject(id), args.data()));
}

jvalue staticCall(JNIEnv* env, jclass cls, jmethodID id, va_list list) {
    std::vector<jvalue> args = argumentsFromList(id, list);
    return callStatic(env, asObject(cls), asObject(id), args.data());
}
void JNICALL CallStaticVoidMethodV(JNIEnv* env, jclass cls, jmethodID id, va_list list) { staticCall(env, cls, id, list); }
jobject JNICALL CallStaticObjectMethodV(JNIEnv* env, jclass cls, jmethodID id, va_list list) {
    return staticCall(env, cls, id, list).l;
}

jstring JNICALL NewStringUTF(JNIEnv* env, const char* bytes) {
    if (!isModifiedUtf8(reinterpret_cast<const unsigned char*>(bytes))) {
        std::string hex;
        char two[4];
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes); *p; ++p)
            hex += (snprintf(two, sizeof two, "%02X", *p), two);
        record({"malformed-utf8", hex, threadName(env)});
    }
    Object* string = newObject("java/lang/String");
    string->text = bytes;
    return reinterpret_cast<jstring>(string);
}
jobjectArray JNICALL NewObjectArray(JNIEnv*, jsize length, jclass cls, jobject initial) {
    Object* elementClass = asObject(cls);
    record({"newarray", elementClass->className, std::to_string(length)});
    Object* array = newObject("[L" + elementClass->className + ";");
    array->elements.assign(static_cast<size_t>(length), asObject(initial));
    return reinterpret_cast<jobjectArray>(array);
}
void JNICALL SetObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    asObject(array)->elements.at(static_cast<size_t>(index)) = asObject(value);  // out of bounds: the process ends
}

jboolean JNICALL ExceptionCheck(JNIEnv* env) { return fromEnv(env)->pending ? JNI_TRUE : JNI_FALSE; }
void JNICALL ExceptionClear(JNIEnv* env) {
    if (fromEnv(env)->pending) record({"clear", fromEnv(env)->pending->className});
    fromEnv(env)->pending = nullptr;
}
// Like a JVM: the trace goes to System.err, and describing clears the exception.
void JNICALL ExceptionDescribe(JNIEnv* env) {
    Object* pending = fromEnv(env)->pending;
    if (!pending) return;
    std::string name = pending->className;
    for (char& c : name)
        if (c == '/') c = '.';
    writeJavaErr("Exception in thread \"" + threadName(env) + "\" " + name + ": " + pending->text +
                 "\n\tat testjvm.Scripted.run(testjvm)\n");
    record({"describe", pending->className, pending->text});
    fromEnv(env)->pending = nullptr;
}

void JNICALL DeleteLocalRef(JNIEnv*, jobject) {}

// System.out and System.err as fields: what same-file redirection reads to share one stream.
jfieldID JNICALL GetStaticFieldID(JNIEnv*, jclass cls, const char* name, const char* sig) {
    return reinterpret_cast<jfieldID>(methodId("staticfield", cls, name, sig));
}
jobject JNICALL GetStaticObjectField(JNIEnv*, jclass, jfieldID id) {
    return reinterpret_cast<jobject>(javaStream(asObject(id)->name == "err"));
}

template <int Slot>
void JNICALL unimplemented() {
    record({"unimplemented", std::to_string(Slot)});
    ExitProcess(70);
}

constexpr size_t kSlots = sizeof(JNINativeInterface_) / sizeof(void*);

template <size_t... Slots>
void fillUnimplemented(void** slots, std::index_sequence<Slots...>) {
    ((slots[Slots] = reinterpret_cast<void*>(&unimplemented<static_cast<int>(Slots)>)), ...);
}

JNINativeInterface_ makeTable() {
    union {
        JNINativeInterface_ table;
        void* slots[kSlots];
    } u;
    fillUnimplemented(u.slots, std::make_index_sequence<kSlots>());
    JNINativeInterface_& t = u.table;
    t.reserved0 = t.reserved1 = t.reserved2 = t.reserved3 = nullptr;
    t.FindClass = FindClass;
    t.GetMethodID = GetMethodID;
    t.GetStaticMethodID = GetStaticMethodID;
    t.GetStaticFieldID = GetStaticFieldID;
    t.GetStaticObjectField = GetStaticObjectField;
    t.NewObjectV = NewObjectV;
    t.CallStaticVoidMethodV = CallStaticVoidMethodV;
    t.CallStaticObjectMethodV = CallStaticObjectMethodV;
    t.NewStringUTF = NewStringUTF;
    t.NewObjectArray = NewObjectArray;
    t.SetObjectArrayElement = SetObjectArrayElement;
    t.ExceptionCheck = ExceptionCheck;
    t.ExceptionDescribe = ExceptionDescribe;
    t.ExceptionClear = ExceptionClear;
    t.DeleteLocalRef = DeleteLocalRef;
    return t;
}

}  // namespace

const JNINativeInterface_* functionTable() {
    static const JNINativeInterface_ table = makeTable();
    return &table;
}

}  // namespace testjvm
