// Helpers shared by the registry searches: the library candidates under a Java home and
// the JavaSearchMode key selection.
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

// Whether the registry version `name` passes the configured minimum.
bool versionPasses(const char* name, bool vendorName);

enum class RuntimeKind { Runtime, DevelopmentKit };
enum class KeyLayout {
    Versioned,  // CurrentVersion, version subkeys with JavaHome and RuntimeLib
    VendorMsi,  // version subkeys holding <vm>\MSI with the home in "Path"
    Zulu,  // zulu-<N> subkeys with the home in "InstallationPath"
};

struct RuntimeKey {
    const char* path;
    RuntimeKind kind;
    KeyLayout layout;
};

// The keys to search for `mode`, in order: the classic four first, then the keys of
// current installers, each group ordered and selected by the mode's lowest two bits.
size_t selectRuntimeKeys(int32_t mode, const RuntimeKey** keys, size_t capacity);

// Searches one key of the vendor or Zulu layouts.
bool searchVendorKey(const RuntimeKey& key, RuntimeSearch& search, char* buffer, size_t size);
