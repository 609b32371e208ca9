// Finding the Java runtime library: the configured JvmPath list and the records installers
// leave of runtimes and development kits (Windows' registry keys).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/state.h"
#include "platform/platform.h"
#include "runtimes/probes.h"
#include "runtimes/runtime_home.h"

// The runtime a search chose: its JVM library (empty when none was found), and the home
// %JAVA_HOME% names in the configured texts: that of the last registry version that passed
// the version check, or of the installed runtime taken (empty when there is none).
struct RuntimeChoice {
    std::string library;
    std::string home;
};

// Searches JvmPath first, or the registry first when JavaSearchMode is above 3, then the
// runtimes installed without registry entries. Reports nothing.
RuntimeChoice locateJvm();

// The first entry (';'-separated) of the JvmPath text `list` that names a readable file. An
// entry too long for the buffer is skipped, never truncated.
bool findConfiguredJvm(const char* list, char* buffer, size_t size);

// What a home is tried with once the list has been searched without success: the text up to
// the end of its first entry (separators before it kept), never the entries after it.
std::string jvmPathAfterListSearch(const char* list);

// The search of the installers' records (the registry) in the order JavaSearchMode selects;
// records the Java home of the last version that passed the version check in search.home.
bool findRegistryJvm(RuntimeSearch& search, char* buffer, size_t size);
