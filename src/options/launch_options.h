// JVM options for applications started as they ship: an executable jar (MainJar), a module
// path (ModulePath) and a main module (MainModule).
#pragma once
#include <string>
#include <vector>

#include "options/options.h"

// A configuration text that holds something (entries set by hand in tests may be null).
inline bool isSet(const char* text) { return text != nullptr && text[0] != '\0'; }

// Adds to `options` what the executable jar's manifest asks of the JVM (Add-Opens,
// Add-Exports, Enable-Native-Access), the module path and the main module, and takes the
// main class from the manifest (into State.MainClass) when MainClass is empty; the jar's path,
// its references expanded with `javaHome` for %JAVA_HOME%, goes into State.MainJar.
// Reported: a jar that cannot be read or names no main class.
BuildOutcome addLaunchOptions(std::vector<std::string>* options, const char* javaHome);

// The module part of MainModule ("module" of "module/class") as a new heap text; the class
// part, when there is one, is left in *className (dot form).
char* mainModuleName(const char* mainModule, const char** className);
