// The main class of an application started as it ships: the agent an executable jar asks
// for, and the main class of a main module.
#pragma once
#include <jni.h>

// Starts the executable jar's Launcher-Agent-Class (its agentmain), as `java -jar` does
// before main; true when there is none. Reports its own failure.
bool startLauncherAgent(JNIEnv* env);

// The main class of MainModule: the class after its "/", else MainClass when set, else the
// main class of the module's descriptor, loaded through the module itself. Null after a
// report naming the module or class.
jclass moduleMainClass(JNIEnv* env);
