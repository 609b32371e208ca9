// The main class of an application started as it ships: the agent an executable jar asks
// for, and the main class of a main module.
#pragma once
#include <jni.h>

// Opens and exports the packages the executable jar's Add-Opens and Add-Exports name to
// every unnamed module, as `java -jar` does: each "module/package" between single blanks
// whose module the boot layer holds with that package; anything else is passed over without
// a word. True when there is nothing to grant (or the runtime is Java 8). Reports its own failure.
bool grantJarPackages(JNIEnv* env);

// Starts the executable jar's Launcher-Agent-Class (its agentmain), as `java -jar` does
// before main; true when there is none. Reports its own failure.
bool startLauncherAgent(JNIEnv* env);

// The main class of MainModule: the class after its "/", else MainClass when set, else the
// main class of the module's descriptor, loaded through the module itself. Null after a
// report naming the module or class.
jclass moduleMainClass(JNIEnv* env);
