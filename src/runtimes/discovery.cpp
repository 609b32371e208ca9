// Runtime discovery: the configured list, then (or first) the registry, and when both found
// nothing the runtimes installed without registry entries. Every probe that fails just
// moves on to the next candidate; the caller reports a search that found nothing.
#include "runtimes/discovery.h"

#include <cstring>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/next_token.h"
#include "core/paths.h"
#include "core/trace.h"
#include "platform/bounded_copy.h"
#include "runtimes/installed_runtimes.h"
#include "runtimes/runtime_home.h"

namespace {

struct RecordSearch {
    RuntimeSearch& search;
    char* buffer;
    size_t size;
};

void lookingIn(void*, const char* place) { trace("registry: looking in ", place); }

// One installer's record: the version against the minimum, then the library it names or the
// candidates under its homes. The home of every record that passes is kept for %JAVA_HOME%,
// even when no library is found there. The vendors' records are not traced.
bool tryRecord(void* context, const InstalledRuntime& runtime) {
    RecordSearch& s = *static_cast<RecordSearch*>(context);
    if (!versionPasses(runtime.version, runtime.vendorName)) {
        if (!runtime.vendorName) trace("registry: ", (std::string(runtime.place) + ": below MinJavaVersion").c_str());
        return false;
    }
    if (!runtime.readable) return false;
    if (!runtime.vendorName) trace("registry: ", runtime.place);
    std::memset(s.search.home, 0, sizeof s.search.home);
    for (size_t i = 0; i < runtime.homeCount; ++i) {
        // The MSI keys end a home with a separator; %JAVA_HOME%\lib reads as one would write it.
        std::string home = runtime.vendorName ? withoutTrailingSeparators(Platform.traits.pathStyle, runtime.homes[i])
                                              : runtime.homes[i];
        if (home.empty() && runtime.vendorName) continue;
        if (!copyIfFits(s.search.home, sizeof s.search.home, home.c_str())) continue;
        if (runtime.library) break;
        if (tryHomeCandidates(s.search.home, s.search.jvmPathUnderHome, s.buffer, s.size)) return true;
    }
    if (!runtime.library) return false;
    std::memset(s.buffer, 0, s.size);
    if (copyIfFits(s.buffer, s.size, runtime.library) && fileExists(s.buffer)) return true;
    // The runtime names its own library and it is gone: do not guess another.
    trace("  RuntimeLib not there: ", runtime.library);
    std::memset(s.buffer, 0, s.size);
    return false;
}

}  // namespace

bool findConfiguredJvm(const char* list, char* buffer, size_t size) {
    if (list == nullptr || list[0] == '\0') {
        trace("JvmPath: empty");
        return false;
    }
    std::vector<char> text(list, list + std::strlen(list) + 1);
    char* cursor = nullptr;
    for (char* entry = nextToken(text.data(), ";", &cursor); entry != nullptr;
         entry = nextToken(text.data(), ";", &cursor)) {
        if (std::strlen(entry) + 1 > size) {
            trace("JvmPath: ", entry, ": too long");
            continue;
        }
        bool exists = fileExists(entry);
        trace("JvmPath: ", entry, exists ? ": taken" : ": not there");
        if (exists) return copyIfFits(buffer, size, entry);
    }
    return false;
}

std::string jvmPathAfterListSearch(const char* list) {
    std::string text = list != nullptr ? list : "";
    size_t first = text.find_first_not_of(';');
    return first == std::string::npos ? text : text.substr(0, text.find(';', first));
}

bool findRegistryJvm(RuntimeSearch& search, char* buffer, size_t size) {
    // 0: everything, runtimes first; 1: everything, development kits first; 2: runtimes
    // only; 3: development kits only. Values outside 0-7 search everything, runtimes first.
    int selection = Config.JavaSearchMode >= 0 && Config.JavaSearchMode <= 7 ? Config.JavaSearchMode & 3 : 0;
    static const RuntimeKind kRuntimesFirst[] = {RuntimeKind::Runtime, RuntimeKind::DevelopmentKit};
    static const RuntimeKind kKitsFirst[] = {RuntimeKind::DevelopmentKit, RuntimeKind::Runtime};
    const RuntimeKind* kinds = selection == 1 || selection == 3 ? kKitsFirst : kRuntimesFirst;
    size_t count = selection < 2 ? 2 : 1;
    RecordSearch context{search, buffer, size};
    RuntimeVisitor visitor{&context, lookingIn, tryRecord};
    return Platform.runtimes.installed(kinds, count, &visitor);
}

RuntimeChoice locateJvm() {
    RuntimeSearch search{};
    const char* list = Config.JvmPath;
    // Each home is tried with the whole JvmPath text until the list itself has been searched,
    // and with its first entry after that.
    search.jvmPathUnderHome = list != nullptr ? list : "";
    char buffer[kPathBufferSize] = "";
    auto searchList = [&] {
        bool found = findConfiguredJvm(list, buffer, sizeof buffer);
        search.jvmPathUnderHome = jvmPathAfterListSearch(list);
        return found;
    };
    auto searchRegistry = [&] { return findRegistryJvm(search, buffer, sizeof buffer); };
    bool found = Config.JavaSearchMode > 3 ? searchRegistry() || searchList() : searchList() || searchRegistry();
    if (!found) found = findInstalledJvm(search, buffer, sizeof buffer);
    trace(found ? "runtime library: " : "no runtime found", found ? buffer : nullptr);
    return {found ? buffer : "", search.home};
}
