// Finding the Java runtime library: the configured JvmPath list and the registry keys
// that installed runtimes and development kits write.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/state.h"
#include "jvm/probes.h"
#include "platform/platform.h"

// Fills `buffer` with the path of an existing runtime library. Searches JvmPath first,
// or the registry first when JavaSearchMode is above 3. Reports nothing.
bool locateJvm(char* buffer, size_t size = kPathBufferSize);

// The first JvmPath entry (';'-separated) that names a readable file. Splits JvmPath in
// place. An entry too long for the buffer is skipped, never truncated.
bool findConfiguredJvm(char* buffer, size_t size);

// The registry search in the order JavaSearchMode selects; records the Java home of the
// last version that passed the version check in State.DiscoveredJavaHome.
bool findRegistryJvm(char* buffer, size_t size);

// Version check and library candidates for the version key `keyPath`\`versionName`.
// `keyPath` is a kRegistryPathSize buffer holding the parent key; the version is
// appended to it.
bool tryRuntimeVersion(char* keyPath, const char* versionName, char* buffer, size_t size);
