// Runtimes installed without registry entries (zip-installed kits, package managers,
// Linux): the one JAVA_HOME names, the one the first `java` on PATH belongs to, and the
// system's folder of runtimes, newest first. Searched when the configured list and the
// registry found nothing.
#pragma once
#include <cstddef>
#include <string>

#include "runtimes/runtime_home.h"

// The JAVA_VERSION value of a runtime's `release` text ("17.0.9", "1.8.0_392"), without
// its quotes. False when there is no such line, or its value is empty or does not fit.
bool parseReleaseVersion(const char* text, size_t length, char* version, size_t size);

// Why this build cannot load a library that starts with these bytes ("64-bit runtime,
// this launcher is 32-bit"); empty when it can. Compares with Platform.traits.moduleFormat and
// Platform.traits.moduleMachine.
std::string libraryMismatch(const unsigned char* head, size_t length);

// The search itself. True with `buffer` holding the library and search.home the runtime's
// home. Keeps a note of every runtime it found and passed over.
bool findInstalledJvm(RuntimeSearch& search, char* buffer, size_t size);

// Reports, as errors, the runtimes the last search passed over and why; nothing when it
// found none.
void reportSkippedRuntimes();

// After "no runtime" in a console run: the version asked for, when a minimum is set, and
// how to see where the search looked.
void reportSearchHint();
