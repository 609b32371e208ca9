/* The double's object store and its pending exceptions. Objects are never freed: a test
   process is short and a freed handle must never be reused for another object. */
#include <windows.h>

#include "testjvm.h"

namespace testjvm {

Object* newObject(Kind kind, const std::string& className) {
    Object* object = new Object();
    object->kind = kind;
    object->className = className;
    return object;
}

Object* asObject(const void* handle) { return static_cast<Object*>(const_cast<void*>(handle)); }

ThreadEnv* fromEnv(JNIEnv* env) { return reinterpret_cast<ThreadEnv*>(env); }

std::string threadName(JNIEnv* env) {
    ThreadEnv* thread = fromEnv(env);
    return thread ? thread->name : std::string("<no thread>");
}

void throwNew(JNIEnv* env, const std::string& className, const std::string& message) {
    Object* throwable = newObject(Kind::Throwable, className);
    throwable->text = message;
    fromEnv(env)->pending = throwable;
    record({"throw", className, message, threadName(env)});
}

}  // namespace testjvm
