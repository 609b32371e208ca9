/* The second export a Windows JVM has. The launcher only checks that it exists; a call is
   recorded so a test sees if it ever happens. Left out of the double without it. */
#include "testjvm.h"

extern "C" JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* args) {
    testjvm::record({"getdefaultinitargs"});
    if (args) static_cast<JavaVMInitArgs*>(args)->version = JNI_VERSION_1_2;
    return JNI_OK;
}
