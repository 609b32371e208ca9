// System.out and System.err over the launcher's own log files (core/log_files.h).
#pragma once
#include <jni.h>

// Points System.out or System.err ("setOut" / "setErr") at a print stream whose every print
// goes whole to log slot `slot`, which must be open. Reports its own failure.
bool redirectJavaStreamToLog(JNIEnv* env, int slot, const char* setterName);
