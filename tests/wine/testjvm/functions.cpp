/* The JNI function table of the double: exactly the entries the launcher uses, each
   recording what it was given. Every other entry records its slot number and ends the process with exit
   code 70, so a call the double does not know is seen at once instead of corrupting state. */
#include <windows.h>

#include <cstring>
#include <map>
#include <utility>

#include "testjvm.h"

namespace testjvm {
namespace {

std::map<std::string, Object*> classes;  // one jclass per name, as a JVM gives

bool listed(const std::string& list, const std::string& name) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        if (!name.empty() && list.compare(start, end - start, name) == 0) return true;
        start = end + 1;
    }
    return false;
}

// Modified UTF-8 as NewStringUTF expects it: no raw zero bytes (they end the text anyway),
// no 4-byte forms, well-formed continuation bytes.
bool isModifiedUtf8(const unsigned char* p) {
    while (*p) {
        unsigned char c = *p;
        int follow = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : -1;
        if (follow < 0) return false;
        ++p;
        for (int i = 0; i < follow; ++i, ++p)
            if ((*p & 0xC0) != 0x80) return false;
    }
    return true;
}

Object* classObject(const std::string& name) {
    Object*& cls = classes[name];
    if (!cls) {
        cls = newObject(Kind::Class, name);
    }
    return cls;
}

jclass JNICALL FindClass(JNIEnv* env, const char* name) {
    std::string text = name ? name : "";
    record({"findclass", text, threadName(env)});
    // A JVM looks classes up by their slashed name only.
    if (!name || listed(script("fail_class"), text) || text.find('.') != std::string::npos) {
        throwNew(env, "java/lang/NoClassDefFoundError", text);
        return nullptr;
    }
    return reinterpret_cast<jclass>(classObject(text));
}

jmethodID methodId(JNIEnv* env, jclass cls, const char* name, const char* sig, bool isStatic) {
    Object* owner = asObject(cls);
    std::string methodName = name ? name : "", signature = sig ? sig : "";
    record({isStatic ? "staticmethod" : "method", owner ? owner->className : "<null>", methodName, signature});
    if (!owner || owner->kind != Kind::Class || listed(script("fail_method"), methodName)) {
        throwNew(env, "java/lang/NoSuchMethodError", methodName);
        return nullptr;
    }
    Object* method = newObject(Kind::Method, owner->className);
    method->owner = owner;
    method->name = methodName;
    method->signature = signature;
    method->isStatic = isStatic;
    return reinterpret_cast<jmethodID>(method);
}

jmethodID JNICALL GetMethodID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
    return methodId(env, cls, name, sig, false);
}
jmethodID JNICALL GetStaticMethodID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
    return methodId(env, cls, name, sig, true);
}

jobject constructWith(JNIEnv* env, jclass cls, jmethodID id, const jvalue* args) {
    Object* method = asObject(id);
    if (!asObject(cls) || !method) {
        throwNew(env, "java/lang/NullPointerException", "NewObject");
        return nullptr;
    }
    return reinterpret_cast<jobject>(construct(env, asObject(cls), method, args));
}
// The launcher is C++: jni.h's member functions call the va_list forms.
jobject JNICALL NewObjectV(JNIEnv* env, jclass cls, jmethodID id, va_list list) {
    if (!id) return constructWith(env, cls, id, nullptr);
    std::vector<jvalue> args = argumentsFromList(asObject(id)->signature, list);
    return constructWith(env, cls, id, args.data());
}

jvalue staticCall(JNIEnv* env, jclass cls, jmethodID id, const jvalue* args) {
    Object* method = asObject(id);
    if (!asObject(cls) || !method || !method->isStatic) {
        throwNew(env, "java/lang/NullPointerException", "CallStatic");
        jvalue none;
        none.j = 0;
        return none;
    }
    return callStatic(env, asObject(cls), method, args);
}
std::vector<jvalue> listArguments(jmethodID id, va_list list) {
    return id ? argumentsFromList(asObject(id)->signature, list) : std::vector<jvalue>();
}

void JNICALL CallStaticVoidMethodV(JNIEnv* env, jclass cls, jmethodID id, va_list list) {
    std::vector<jvalue> args = listArguments(id, list);
    staticCall(env, cls, id, args.data());
}
jobject JNICALL CallStaticObjectMethodV(JNIEnv* env, jclass cls, jmethodID id, va_list list) {
    std::vector<jvalue> args = listArguments(id, list);
    return staticCall(env, cls, id, args.data()).l;
}

jstring JNICALL NewStringUTF(JNIEnv* env, const char* bytes) {
    if (!bytes) return nullptr;
    if (!isModifiedUtf8(reinterpret_cast<const unsigned char*>(bytes))) {
        std::string hex;
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes); *p; ++p) {
            char two[4];
            snprintf(two, sizeof two, "%02X", *p);
            hex += two;
        }
        record({"malformed-utf8", hex, threadName(env)});
    }
    Object* string = newObject(Kind::String, "java/lang/String");
    string->text = bytes;
    return reinterpret_cast<jstring>(string);
}
jobjectArray JNICALL NewObjectArray(JNIEnv* env, jsize length, jclass cls, jobject initial) {
    Object* elementClass = asObject(cls);
    record({"newarray", elementClass ? elementClass->className : "<null>", std::to_string(length)});
    if (!elementClass) {
        throwNew(env, "java/lang/NullPointerException", "NewObjectArray");
        return nullptr;
    }
    if (length < 0) {
        throwNew(env, "java/lang/NegativeArraySizeException", std::to_string(length));
        return nullptr;
    }
    Object* array = newObject(Kind::Array, "[L" + elementClass->className + ";");
    array->elements.assign(static_cast<size_t>(length), asObject(initial));
    return reinterpret_cast<jobjectArray>(array);
}
bool inBounds(JNIEnv* env, jobjectArray array, jsize index) {
    Object* a = asObject(array);
    if (!a) {
        throwNew(env, "java/lang/NullPointerException", "array");
        return false;
    }
    if (index < 0 || static_cast<size_t>(index) >= a->elements.size()) {
        throwNew(env, "java/lang/ArrayIndexOutOfBoundsException", std::to_string(index));
        return false;
    }
    return true;
}
void JNICALL SetObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index, jobject value) {
    if (inBounds(env, array, index)) asObject(array)->elements[index] = asObject(value);
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
jfieldID JNICALL GetStaticFieldID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
    Object* owner = asObject(cls);
    std::string fieldName = name ? name : "";
    record({"staticfield", owner ? owner->className : "<null>", fieldName, sig ? sig : ""});
    if (!owner || owner->className != "java/lang/System" || (fieldName != "out" && fieldName != "err")) {
        throwNew(env, "java/lang/NoSuchFieldError", fieldName);
        return nullptr;
    }
    Object* field = newObject(Kind::Method, owner->className);
    field->name = fieldName;
    return reinterpret_cast<jfieldID>(field);
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
