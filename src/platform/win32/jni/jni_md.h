/* Machine-dependent JNI types for the Windows builds: a Windows JVM uses __stdcall for its
   invocation entry points and every function-table entry on 32-bit x86. */
#ifndef VARNLET_JNI_MD_H
#define VARNLET_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
