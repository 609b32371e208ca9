// JNI helpers shared by the JVM start-up, the main-class invocation and the service stop:
// the exception check, System.setProperty, System.out/err redirection and System.exit.
#pragma once
#include <jni.h>

#include <string>

// Describes (stack trace on System.err) and clears a pending Java exception. True when
// there was one.
bool checkJavaException(JNIEnv* env);

// Takes the exception pending after main and hands it to the thread's uncaught-exception
// handler, as `java` does: unless the application installed its own, it prints "Exception in
// thread ..." and the stack trace on System.err. Returns the exception's toString() in the
// process's code page; empty when that cannot be had.
std::string takeUncaughtException(JNIEnv* env);

// Text in the process's code page as JNI's modified UTF-8 (what NewStringUTF and FindClass read).
std::string codePageToModifiedUtf8(const char* text);

// A Java string from text in the process's code page (converted to modified UTF-8, which
// is what NewStringUTF reads). Null, after describing any exception, when it cannot be made.
jstring newJavaString(JNIEnv* env, const char* text);

// System.setProperty(name, value). Reports its own failure.
bool setSystemProperty(JNIEnv* env, const char* name, const char* value);

// Points System.out or System.err ("setOut" / "setErr") at a new PrintStream over a
// FileOutputStream on `fileName`, which is emptied. Reports its own failure; on failure the
// earlier stream stays installed.
bool redirectJavaStream(JNIEnv* env, const char* fileName, const char* setterName);

// Installs the stream now in System.out (or System.err) through the other setter as well:
// `fromField` is "out" or "err", `setterName` "setOut" or "setErr". Reports its own failure.
bool shareJavaStream(JNIEnv* env, const char* fromField, const char* setterName);

// Attached invocations run under this thread name.
constexpr const char* kStopperThreadName = "Varnlet stopper thread";

// Attaches the calling thread to State.Jvm under the stopper thread's name. On success *jvm
// is the JVM attached to (detach through it) and *env the thread's own environment; on
// failure message MsgAttach has been reported.
bool attachStopperThread(JavaVM** jvm, JNIEnv** env);
// True when this thread's last attach failed because the JVM was already ending
// (State.JvmEnding); nothing was reported then.
bool stopperMetJvmEnd();

// Attaches the calling thread and calls System.exit(0). The thread is detached whenever
// the attach succeeded and the call came back, failed or not: a thread left attached would
// keep DestroyJavaVM on the creating thread waiting for ever.
bool requestJavaExit();
