// Library candidates under a Java home and the version check.
#include "runtimes/runtime_home.h"

#include <cstring>

#include "core/config.h"
#include "core/paths.h"
#include "core/trace.h"
#include "platform/platform.h"
#include "runtimes/java_version.h"
#include "runtimes/probes.h"

namespace {

// Old layouts first (the runtime under "jre" as a development kit holds it), then the
// layout of Java 9 and later, which has no "jre" directory.
const char* const kWindowsCandidates[] = {
    "jre\\bin\\client\\jvm.dll", "jre\\bin\\server\\jvm.dll", "jre\\bin\\classic\\jvm.dll",
    "bin\\server\\jvm.dll",      "bin\\client\\jvm.dll",
};
// A layout's client and server libraries stay side by side.
// clang-format off
const char* const kPosixCandidates[] = {
    "jre/lib/amd64/client/libjvm.so", "jre/lib/amd64/server/libjvm.so",
    "lib/server/libjvm.so",           "lib/client/libjvm.so",
    // A Java 8 runtime on its own, or a kit's `jre` folder taken as the home.
    "lib/amd64/server/libjvm.so",     "lib/amd64/client/libjvm.so",
};
// clang-format on

}  // namespace

bool tryHomeCandidates(const char* home, const std::string& jvmPathText, char* buffer, size_t size) {
    if (home == nullptr || home[0] == '\0') return false;
    if (!jvmPathText.empty() && joinPath(Platform.traits.pathStyle, buffer, size, home, jvmPathText.c_str()) &&
        fileExists(buffer)) {
        trace("  found ", buffer);
        return true;
    }
    bool windows = windowsPaths(Platform.traits.pathStyle);
    const char* const* candidates = windows ? kWindowsCandidates : kPosixCandidates;
    size_t count = windows ? sizeof kWindowsCandidates / sizeof kWindowsCandidates[0]
                           : sizeof kPosixCandidates / sizeof kPosixCandidates[0];
    for (size_t i = 0; i < count; ++i) {
        if (!joinPath(Platform.traits.pathStyle, buffer, size, home, candidates[i])) continue;
        bool exists = fileExists(buffer);
        trace(exists ? "  found " : "  not there: ", buffer);
        if (exists) return true;
    }
    std::memset(buffer, 0, size);
    return false;
}

bool versionPasses(const char* name, bool vendorName) {
    JavaVersion minimum;
    JavaVersion version;
    parseMinimumJavaVersion(Config.MinJavaVersion, &minimum);  // no minimum when it does not parse
    bool parsed = vendorName ? parseVendorJavaVersion(name, &version) : parseJavaVersion(name, &version);
    return parsed && meetsMinimum(version, minimum);
}
