// The reference for the start-up benchmark: the least a program can do to run a Java main
// in process (load libjvm, create the JVM with a class path, call main, destroy).
// Usage: startup_minimal_jni <libjvm.so> <class path | @file holding it> <main class in slash form>
// (a class path of 10,000 archives is longer than one command-line argument may be).
#include <dlfcn.h>
#include <jni.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

typedef jint(JNICALL* CreateJavaVMFunction)(JavaVM**, void**, void*);

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s <libjvm.so> <class path> <main class>\n", argv[0]);
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    CreateJavaVMFunction create = reinterpret_cast<CreateJavaVMFunction>(dlsym(library, "JNI_CreateJavaVM"));
    if (!create) return 1;
    std::string classPath = "-Djava.class.path=";
    if (argv[2][0] == '@') {
        std::ifstream in(argv[2] + 1);
        classPath.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } else {
        classPath += argv[2];
    }
    JavaVMOption option;
    option.optionString = &classPath[0];
    option.extraInfo = nullptr;
    JavaVMInitArgs args;
    args.version = JNI_VERSION_1_2;
    args.nOptions = 1;
    args.options = &option;
    args.ignoreUnrecognized = JNI_TRUE;
    JavaVM* jvm = nullptr;
    void* envPointer = nullptr;
    if (create(&jvm, &envPointer, &args) != JNI_OK) return 1;
    JNIEnv* env = static_cast<JNIEnv*>(envPointer);
    int status = 1;
    jclass mainClass = env->FindClass(argv[3]);
    jmethodID mainMethod = mainClass ? env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V") : nullptr;
    if (mainMethod) {
        jobjectArray arguments = env->NewObjectArray(0, env->FindClass("java/lang/String"), nullptr);
        env->CallStaticVoidMethod(mainClass, mainMethod, arguments);
        status = env->ExceptionCheck() ? 1 : 0;
    }
    if (env->ExceptionCheck()) env->ExceptionDescribe();
    jvm->DetachCurrentThread();
    jvm->DestroyJavaVM();
    return status;
}
