// Helpers shared by the runtime searches: the library candidates under a Java home and the
// version check.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/state.h"

// What one runtime search carries from probe to probe.
struct RuntimeSearch {
    // The JvmPath text tried under each home before the fixed candidates (see
    // jvmPathAfterListSearch).
    std::string jvmPathUnderHome;
    // The home %JAVA_HOME% will name: that of the last registry version that passed the
    // version check, or of the installed runtime taken.
    char home[kPathBufferSize];
};

// Tries, under `home`: `jvmPathText` (when not empty), then the fixed library candidates of
// the platform's layout. True with `buffer` holding the first that exists.
bool tryHomeCandidates(const char* home, const std::string& jvmPathText, char* buffer, size_t size);

// Whether the version `name` an installer gave a runtime (a vendor's name when `vendorName`)
// passes the configured minimum.
bool versionPasses(const char* name, bool vendorName);
