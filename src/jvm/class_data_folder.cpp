// The folder of a class data cache: its files' names, the slot's pointer, the lock, the sweep
// of what ended processes left, the checks a cache passes before it is used, and putting a
// made cache in place with the folder's bound on its caches' total size.
#include "jvm/class_data_folder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/trace.h"
#include "platform/platform.h"

ClassDataRun CacheRun;

namespace {

// The caches of one folder together, the newest always kept: beyond it the oldest go.
constexpr uint64_t kFolderBound = 1ull << 30;
constexpr size_t kMaxNameLength = 64;

// "cds-SLOT-PID.rest": the slot, the process and the rest; false for any other name.
bool parseName(const std::string& name, std::string* slot, uint32_t* pid, std::string* rest) {
    if (name.size() < 15 || name.compare(0, 4, "cds-") != 0 || name[12] != '-' ||
        name.find_first_not_of("0123456789abcdef", 4) != 12)
        return false;
    size_t dot = name.find('.', 13);
    if (dot == std::string::npos || dot == 13 || dot - 13 > 10 || name.find_first_not_of("0123456789", 13) != dot)
        return false;
    *slot = name.substr(4, 8);
    *pid = static_cast<uint32_t>(std::strtoul(name.c_str() + 13, nullptr, 10));
    *rest = name.substr(dot);
    return true;
}

// The pointer: the cache's name, "size time classes wanted", and the key.
std::string pointerText(const CachePointer& p) {
    return p.name + "\n" + std::to_string(p.size) + " " + std::to_string(p.time) + " " + std::to_string(p.classes) +
           " " + std::to_string(p.wanted) + "\n" + p.key;
}

void removeFile(const std::string& path) {
    if (Platform.cacheFiles->deleteFile(path.c_str())) trace("class data cache: removed ", path.c_str());
}

// The slot's cache and its pointer go; the next start makes a new one.
void retire(const char* why) {
    std::string cache = inFolder(CacheRun.folder, CacheRun.pointer.name);
    trace("class data cache: ", cache.c_str(), why);
    Platform.cacheFiles->deleteFile(pointerPath().c_str());
    removeFile(cache);
    CacheRun.pointer = CachePointer{};
}

// Other caches of the slot, and the files of the folder's earlier layout ("cds.key" and
// "cds-PID.jsa"); then, beyond the bound, the oldest caches of other slots with their pointers.
void removeStale(const std::string& keep) {
    DirListing listing;
    if (Platform.files.listDirectory(CacheRun.folder.c_str(), &listing).failed()) return;
    struct Kept {
        std::string name, slot;
        uint64_t size, time;
    };
    std::vector<Kept> kept;
    uint64_t total = 0;
    for (const DirName& entry : listing.entries) {
        std::string name = listing.name(entry), slot, rest;
        uint32_t pid = 0;
        if (entry.isDirectory || name == keep) continue;
        bool finished = parseName(name, &slot, &pid, &rest) && (rest == ".jsa" || rest == ".aot");
        bool earlier = name == "cds.key" ||
                       (name.compare(0, 4, "cds-") == 0 && (endsWith(name, ".jsa") || endsWith(name, ".aot")) &&
                        name.find_first_not_of("0123456789", 4) == name.size() - 4);
        uint64_t size = 0, time = 0;
        if (earlier || (finished && slot == CacheRun.slot)) removeFile(inFolder(CacheRun.folder, name));
        else if (finished && Platform.cacheFiles->fileStamp(inFolder(CacheRun.folder, name).c_str(), &size, &time))
            kept.push_back({name, slot, size, time}), total += size;
    }
    uint64_t size = 0, time = 0;
    if (Platform.cacheFiles->fileStamp(inFolder(CacheRun.folder, keep).c_str(), &size, &time)) total += size;
    while (total > kFolderBound && !kept.empty()) {
        size_t oldest = 0;
        for (size_t i = 1; i < kept.size(); ++i)
            if (kept[i].time < kept[oldest].time) oldest = i;
        trace("class data cache: the folder's caches exceed ", std::to_string(kFolderBound >> 20).c_str(),
              " MiB, the oldest goes");
        Platform.cacheFiles->deleteFile(inFolder(CacheRun.folder, "cds-" + kept[oldest].slot + ".key").c_str());
        removeFile(inFolder(CacheRun.folder, kept[oldest].name));
        total -= kept[oldest].size;
        kept.erase(kept.begin() + static_cast<long>(oldest));
    }
}

}  // namespace

bool endsWith(const std::string& name, const char* tail) {
    size_t n = std::strlen(tail);
    return name.size() > n && name.compare(name.size() - n, n, tail) == 0;
}

std::string inFolder(const std::string& folder, const std::string& name) {
    return joinPath(Platform.traits.pathStyle, folder, name);
}

std::string ownName(const char* suffix) {
    return "cds-" + CacheRun.slot + "-" + std::to_string(Platform.cacheFiles->processId()) + suffix;
}

std::string ownPath(const char* suffix) { return inFolder(CacheRun.folder, ownName(suffix)); }

std::string pointerPath() { return inFolder(CacheRun.folder, "cds-" + CacheRun.slot + ".key"); }

// The numbers of "size time classes wanted", as the pointer writes them; false unless all
// four are there.
static bool readCounts(const char* text, unsigned long long* size, unsigned long long* time, long long* classes,
                       long long* wanted) {
    char* end = nullptr;
    *size = std::strtoull(text, &end, 10);
    if (end == text) return false;
    *time = std::strtoull(text = end, &end, 10);
    if (end == text) return false;
    *classes = std::strtoll(text = end, &end, 10);
    if (end == text) return false;
    *wanted = std::strtoll(text = end, &end, 10);
    return end != text;
}

bool readPointer(CachePointer* p) {
    std::vector<char> text(kMaxNameLength + CacheRun.key.size() + 128);
    uint32_t got = 0;
    *p = CachePointer{};
    if (!Platform.files.readStart(pointerPath().c_str(), text.data(), static_cast<uint32_t>(text.size()), &got))
        return false;
    std::string all(text.data(), got);
    size_t first = all.find('\n'), second = first == std::string::npos ? first : all.find('\n', first + 1);
    unsigned long long size = 0, time = 0;
    long long classes = 0, wanted = 0;
    if (second == std::string::npos || first == 0 || first > kMaxNameLength || all.find_first_of("/\\", 0) < first ||
        !readCounts(all.c_str() + first + 1, &size, &time, &classes, &wanted))
        return false;
    *p = CachePointer{all.substr(0, first), all.substr(second + 1), size, time, classes, wanted};
    return true;
}

bool takeFolderLock(const std::string& lock) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (Platform.cacheFiles->writeNewFile(lock.c_str(), "", 0)) return true;
        Platform.threads.sleepMs(10);
    }
    Platform.cacheFiles->deleteFile(lock.c_str());
    return Platform.cacheFiles->writeNewFile(lock.c_str(), "", 0);
}

bool sweepFolder() {
    DirListing listing;
    if (Platform.files.listDirectory(CacheRun.folder.c_str(), &listing).failed()) return false;
    bool othersMaking = false;
    const uint32_t self = Platform.cacheFiles->processId();
    for (const DirName& entry : listing.entries) {
        std::string name = listing.name(entry), slot, rest;
        uint32_t pid = 0;
        const bool temporary = endsWith(name, ".tmp") || endsWith(name, ".job") || endsWith(name, ".args");
        if (entry.isDirectory || !parseName(name, &slot, &pid, &rest) || pid == self ||
            (!temporary && rest != ".started"))
            continue;
        if (Platform.cacheFiles->processRunning(pid)) {
            othersMaking = othersMaking || (slot == CacheRun.slot && rest != ".started");
            continue;
        }
        std::string path = inFolder(CacheRun.folder, name);
        if (rest == ".started" && slot == CacheRun.slot && !CacheRun.pointer.name.empty()) {
            char used[kMaxNameLength + 1];
            uint32_t got = 0;
            if (Platform.files.readStart(path.c_str(), used, sizeof used - 1, &got) &&
                CacheRun.pointer.name == std::string(used, got))
                retire(" is removed: a start that used it did not end normally");
        }
        removeFile(path);
    }
    return othersMaking;
}

std::string usableCache() {
    const CachePointer& p = CacheRun.pointer;
    if (p.name.empty()) return "";
    std::string path = inFolder(CacheRun.folder, p.name);
    if (p.key != CacheRun.key) {
        trace("class data cache: ", path.c_str(), " was made for another runtime version, class path or options");
        return "";
    }
    if (p.wanted > 0) {
        trace("class data cache: made again, a run loaded ", std::to_string(p.wanted).c_str(),
              " classes, more than the one that made ", path.c_str());
        return "";
    }
    uint64_t size = 0, time = 0;
    switch (Platform.cacheFiles->examine(path.c_str(), false, &size, &time)) {
    case CacheTrust::Missing: return "";
    case CacheTrust::Open:
        trace("class data cache: ", path.c_str(), " is not used: another account owns it or may write it");
        return "";
    case CacheTrust::Private: break;
    }
    if (size != p.size || time != p.time) {
        retire(" is removed: it changed after it was made");
        return "";
    }
    return path;
}

bool claim(const std::string& path) {
    if (Platform.cacheFiles->writeNewFile(path.c_str(), "", 0)) return true;
    return Platform.cacheFiles->deleteFile(path.c_str()) && Platform.cacheFiles->writeNewFile(path.c_str(), "", 0);
}

bool writePointer(const CachePointer& p) {
    std::string text = pointerText(p), temporary = ownPath(".key.tmp");
    Platform.cacheFiles->deleteFile(temporary.c_str());
    if (Platform.cacheFiles->writeNewFile(temporary.c_str(), text.data(), text.size()) &&
        Platform.cacheFiles->renameFile(temporary.c_str(), pointerPath().c_str()))
        return true;
    Platform.cacheFiles->deleteFile(temporary.c_str());
    return false;
}

void keepCache(const std::string& made, const std::string& finalName, long long classes) {
    std::string cache = inFolder(CacheRun.folder, finalName), lock = inFolder(CacheRun.folder, "cds.lock");
    if (!takeFolderLock(lock)) {
        trace("class data cache: could not keep ", cache.c_str(), ", another start holds the folder's lock");
        Platform.cacheFiles->deleteFile(made.c_str());
        return;
    }
    CachePointer p{finalName, CacheRun.key, 0, 0, classes, 0};
    if (!Platform.cacheFiles->renameFile(made.c_str(), cache.c_str()) ||
        !Platform.cacheFiles->fileStamp(cache.c_str(), &p.size, &p.time) || !writePointer(p)) {
        trace("class data cache: could not keep ", cache.c_str());
        Platform.cacheFiles->deleteFile(made.c_str());
    } else {
        trace("class data cache: made ", cache.c_str());
        removeStale(finalName);
    }
    Platform.cacheFiles->deleteFile(lock.c_str());
}
