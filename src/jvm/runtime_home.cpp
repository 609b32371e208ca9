// Library candidates under a Java home, the version check and the order of registry keys.
#include "jvm/runtime_home.h"

#include <cstring>

#include "jvm/probes.h"
#include "jvm/java_version.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/trace.h"
#include "platform/platform.h"

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

const RuntimeKey kRuntimeKeys[] = {
    // The keys every older installer writes, in their historical order.
    {"Software\\JavaSoft\\Java Runtime Environment", RuntimeKind::Runtime, KeyLayout::Versioned},
    {"Software\\IBM\\Java2 Runtime Environment", RuntimeKind::Runtime, KeyLayout::Versioned},
    {"Software\\JavaSoft\\Java Development Kit", RuntimeKind::DevelopmentKit, KeyLayout::Versioned},
    {"Software\\IBM\\Java Development Kit", RuntimeKind::DevelopmentKit, KeyLayout::Versioned},
};
constexpr size_t kClassicKeyCount = sizeof kRuntimeKeys / sizeof kRuntimeKeys[0];

// What the installers of Java 9 and later write.
const RuntimeKey kCurrentKeys[] = {
    {"Software\\JavaSoft\\JRE", RuntimeKind::Runtime, KeyLayout::Versioned},
    {"Software\\Eclipse Adoptium\\JRE", RuntimeKind::Runtime, KeyLayout::VendorMsi},
    {"Software\\AdoptOpenJDK\\JRE", RuntimeKind::Runtime, KeyLayout::VendorMsi},
    {"Software\\Eclipse Foundation\\JRE", RuntimeKind::Runtime, KeyLayout::VendorMsi},
    {"Software\\Semeru\\JRE", RuntimeKind::Runtime, KeyLayout::VendorMsi},
    {"Software\\Azul Systems\\Zulu", RuntimeKind::Runtime, KeyLayout::Zulu},
    {"Software\\JavaSoft\\JDK", RuntimeKind::DevelopmentKit, KeyLayout::Versioned},
    {"Software\\Eclipse Adoptium\\JDK", RuntimeKind::DevelopmentKit, KeyLayout::VendorMsi},
    {"Software\\AdoptOpenJDK\\JDK", RuntimeKind::DevelopmentKit, KeyLayout::VendorMsi},
    {"Software\\Eclipse Foundation\\JDK", RuntimeKind::DevelopmentKit, KeyLayout::VendorMsi},
    {"Software\\Microsoft\\JDK", RuntimeKind::DevelopmentKit, KeyLayout::VendorMsi},
    {"Software\\Semeru\\JDK", RuntimeKind::DevelopmentKit, KeyLayout::VendorMsi},
    {"Software\\Azul Systems\\Zulu", RuntimeKind::DevelopmentKit, KeyLayout::Zulu},
};
constexpr size_t kCurrentKeyCount = sizeof kCurrentKeys / sizeof kCurrentKeys[0];

void addKind(const RuntimeKey* table, size_t tableSize, RuntimeKind kind, const RuntimeKey** keys, size_t capacity,
             size_t* count) {
    for (size_t i = 0; i < tableSize && *count < capacity; ++i)
        if (table[i].kind == kind) keys[(*count)++] = &table[i];
}

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

size_t selectRuntimeKeys(int32_t mode, const RuntimeKey** keys, size_t capacity) {
    // 0: everything, runtimes first; 1: everything, development kits first; 2: runtimes
    // only; 3: development kits only. Values outside 0-7 search everything, runtimes first.
    int selection = mode >= 0 && mode <= 7 ? mode & 3 : 0;
    RuntimeKind order[2];
    size_t kinds = 0;
    switch (selection) {
    case 0:
        order[kinds++] = RuntimeKind::Runtime;
        order[kinds++] = RuntimeKind::DevelopmentKit;
        break;
    case 1:
        order[kinds++] = RuntimeKind::DevelopmentKit;
        order[kinds++] = RuntimeKind::Runtime;
        break;
    case 2: order[kinds++] = RuntimeKind::Runtime; break;
    default: order[kinds++] = RuntimeKind::DevelopmentKit; break;
    }
    size_t count = 0;
    for (size_t k = 0; k < kinds; ++k) addKind(kRuntimeKeys, kClassicKeyCount, order[k], keys, capacity, &count);
    for (size_t k = 0; k < kinds; ++k) addKind(kCurrentKeys, kCurrentKeyCount, order[k], keys, capacity, &count);
    return count;
}
