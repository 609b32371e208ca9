/* Drives testjvm.dll through the JNI calls a launcher makes, so the wine tier can check the
   double itself: jnidriver <dll> [JVM option ...] [-- main argument ...]
   Environment: DRIVER_STOPPER=main|exit makes a second, attached thread call main("stop")
   or System.exit(0) while the first main runs; DRIVER_OUT names a file for System.out.
   Exit code 0 when main returned normally, 1 when a step failed, 2 on bad usage. */
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jni.h>

typedef jint(JNICALL* CreateJavaVMProc)(JavaVM**, void**, void*);

static JavaVM* vm;

static bool failed(JNIEnv* env, const char* step) {
    if (!env->ExceptionCheck()) return false;
    env->ExceptionDescribe();
    env->ExceptionClear();
    fprintf(stderr, "driver: %s failed\n", step);
    return true;
}

static bool callMain(JNIEnv* env, const std::vector<const char*>& args) {
    jclass mainClass = env->FindClass("org/varnlet/wine/DriverMain");
    if (failed(env, "FindClass") || !mainClass) return false;
    jmethodID mainMethod = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    if (failed(env, "GetStaticMethodID") || !mainMethod) return false;
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(args.size()), stringClass, nullptr);
    if (failed(env, "NewObjectArray") || !array) return false;
    for (size_t i = 0; i < args.size(); ++i) {
        jstring s = env->NewStringUTF(args[i]);
        if (failed(env, "NewStringUTF") || !s) return false;
        env->SetObjectArrayElement(array, static_cast<jsize>(i), s);
        if (failed(env, "SetObjectArrayElement")) return false;
    }
    // The variadic entry itself, as a launcher compiled as C would call it.
    env->functions->CallStaticVoidMethod(env, mainClass, mainMethod, array);
    return !failed(env, "main");
}

static DWORD WINAPI stopper(LPVOID kind) {
    Sleep(200);
    JNIEnv* env = nullptr;
    JavaVMAttachArgs request = {JNI_VERSION_1_2, const_cast<char*>("Varnlet stopper thread"), nullptr};
    if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), &request) != JNI_OK) {
        fprintf(stderr, "driver: attach refused\n");
        return 1;
    }
    if (strcmp(static_cast<const char*>(kind), "exit") == 0) {
        jclass system = env->FindClass("java/lang/System");
        jmethodID exitMethod = env->GetStaticMethodID(system, "exit", "(I)V");
        env->CallStaticVoidMethod(system, exitMethod, 0);
    } else {
        callMain(env, {"stop"});
    }
    vm->DetachCurrentThread();
    return 0;
}

static bool redirect(JNIEnv* env, const char* file) {
    jclass fileClass = env->FindClass("java/io/FileOutputStream");
    jmethodID fileInit = env->GetMethodID(fileClass, "<init>", "(Ljava/lang/String;Z)V");
    jvalue fileArgs[2];
    fileArgs[0].l = env->NewStringUTF(file);
    fileArgs[1].z = JNI_FALSE;
    jobject fileStream = env->NewObjectA(fileClass, fileInit, fileArgs);
    if (failed(env, "FileOutputStream") || !fileStream) return false;
    jclass printClass = env->FindClass("java/io/PrintStream");
    jmethodID printInit = env->GetMethodID(printClass, "<init>", "(Ljava/io/OutputStream;)V");
    jobject printStream = env->NewObject(printClass, printInit, fileStream);
    jclass system = env->FindClass("java/lang/System");
    jmethodID setOut = env->GetStaticMethodID(system, "setOut", "(Ljava/io/PrintStream;)V");
    env->CallStaticVoidMethod(system, setOut, printStream);
    return !failed(env, "setOut");
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HMODULE library = LoadLibraryA(argv[1]);
    if (!library) {
        fprintf(stderr, "driver: LoadLibrary failed: %lu\n", GetLastError());
        return 1;
    }
    CreateJavaVMProc create = reinterpret_cast<CreateJavaVMProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "JNI_CreateJavaVM")));
    if (!create || !GetProcAddress(library, "JNI_GetDefaultJavaVMInitArgs")) {
        fprintf(stderr, "driver: JNI exports missing\n");
        return 1;
    }
    std::vector<JavaVMOption> options;
    std::vector<const char*> mainArgs;
    bool afterOptions = false;
    for (int i = 2; i < argc; ++i) {
        if (!afterOptions && strcmp(argv[i], "--") == 0) {
            afterOptions = true;
        } else if (afterOptions) {
            mainArgs.push_back(argv[i]);
        } else {
            options.push_back(JavaVMOption{argv[i], nullptr});
        }
    }
    JavaVMInitArgs initArgs = {JNI_VERSION_1_2, static_cast<jint>(options.size()),
                               options.empty() ? nullptr : options.data(), JNI_TRUE};
    JNIEnv* env = nullptr;
    jint created = create(&vm, reinterpret_cast<void**>(&env), &initArgs);
    if (created != JNI_OK) {
        fprintf(stderr, "driver: JNI_CreateJavaVM returned %ld\n", static_cast<long>(created));
        return 1;
    }
    jclass system = env->FindClass("java/lang/System");
    jmethodID setProperty = env->GetStaticMethodID(system, "setProperty",
                                                   "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;");
    env->CallStaticObjectMethod(system, setProperty, env->NewStringUTF("user.dir"), env->NewStringUTF("C:\\driver"));
    bool ok = !failed(env, "setProperty");
    if (ok && getenv("DRIVER_OUT")) ok = redirect(env, getenv("DRIVER_OUT"));
    static std::string stopKind;
    if (const char* kind = getenv("DRIVER_STOPPER")) {
        stopKind = kind;
        CloseHandle(CreateThread(nullptr, 0, stopper, const_cast<char*>(stopKind.c_str()), 0, nullptr));
    }
    if (ok) ok = callMain(env, mainArgs);
    vm->DetachCurrentThread();
    vm->DestroyJavaVM();
    FreeLibrary(library);
    return ok ? 0 : 1;
}
