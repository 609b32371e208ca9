// Expanding a class path directory into the archives beneath it. Names are sorted per
// directory so the class path is the same on every file system, and each directory is
// walked once, so links that lead back into their own tree cannot make the walk endless.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "jvm/options.h"
#include "launcher/report.h"
#include "platform/platform.h"

namespace {

struct SortKey {
    uint64_t prefix;  // eight bytes after the names' common prefix, folded, big-endian
    size_t index;
};

// One listing and its order per depth, reused by sibling directories so that a tree of
// many small directories does not allocate and fault in fresh memory for each of them.
struct Level {
    std::vector<DirEntry> entries;
    std::vector<SortKey> order;
};

struct Scan {
    TextBuffer* list;
    std::string path;  // the directory being walked; grows and shrinks with the walk
    std::set<DirIdentity> visited;
    char directorySeparator;
    char classPathSeparator;
    bool caseInsensitive;
    std::deque<Level> levels;  // a deque keeps each level in place while deeper ones are added
    size_t depth;
};

inline unsigned char fold(unsigned char c, bool caseInsensitive);

bool isArchiveName(const std::string& name) {
    if (name.size() < 4) return false;
    const char* tail = name.c_str() + name.size() - 4;
    char lowered[4];
    for (int i = 0; i < 4; ++i) lowered[i] = static_cast<char>(fold(static_cast<unsigned char>(tail[i]), true));
    return std::memcmp(lowered, ".jar", 4) == 0 || std::memcmp(lowered, ".zip", 4) == 0;
}

inline unsigned char fold(unsigned char c, bool caseInsensitive) {
    return caseInsensitive && c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

int compareNames(const std::string& a, const std::string& b, bool caseInsensitive) {
    if (caseInsensitive) {
        size_t n = std::min(a.size(), b.size());
        for (size_t i = 0; i < n; ++i) {
            int ca = fold(static_cast<unsigned char>(a[i]), true);
            int cb = fold(static_cast<unsigned char>(b[i]), true);
            if (ca != cb) return ca - cb;
        }
        if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    }
    return a.compare(b);  // ties of case-insensitive names still sort the same way
}

// Orders the entries by name (as indices; the entries stay where they are). Archive directories tend to hold names that differ only late
// ("library-00017.jar"), so the comparison keys start after the prefix all names share;
// most comparisons are then one integer compare.
void sortEntries(const std::vector<DirEntry>* entries, bool caseInsensitive, std::vector<SortKey>* keys) {
    size_t count = entries->size();
    keys->resize(count);
    if (count == 0) return;
    // NTFS lists names already in order; then the listing's order is kept as it is.
    bool sorted = true;
    for (size_t i = 1; i < count && sorted; ++i)
        sorted = compareNames((*entries)[i - 1].name, (*entries)[i].name, caseInsensitive) <= 0;
    if (sorted) {
        for (size_t i = 0; i < count; ++i) (*keys)[i] = SortKey{0, i};
        return;
    }
    size_t common = (*entries)[0].name.size();
    const std::string& first = (*entries)[0].name;
    for (size_t i = 1; i < count && common > 0; ++i) {
        const std::string& name = (*entries)[i].name;
        size_t limit = std::min(common, name.size());
        size_t j = 0;
        while (j < limit && fold(static_cast<unsigned char>(name[j]), caseInsensitive) ==
                                fold(static_cast<unsigned char>(first[j]), caseInsensitive))
            ++j;
        common = j;
    }
    for (size_t i = 0; i < count; ++i) {
        const std::string& name = (*entries)[i].name;
        uint64_t prefix = 0;
        for (size_t j = 0; j < 8; ++j) {
            size_t at = common + j;
            unsigned char c = at < name.size() ? fold(static_cast<unsigned char>(name[at]), caseInsensitive) : 0;
            prefix = (prefix << 8) | c;
        }
        (*keys)[i] = SortKey{prefix, i};
    }
    const std::vector<DirEntry>& names = *entries;
    std::sort(keys->begin(), keys->end(), [&names, caseInsensitive](const SortKey& a, const SortKey& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        return compareNames(names[a.index].name, names[b.index].name, caseInsensitive) < 0;
    });
}

// Walks scan->path; false when its own listing failed (reported). Subdirectories that
// fail are reported by their own walk and do not fail this one.
bool walkDirectory(Scan* scan) {
    if (scan->depth == scan->levels.size()) scan->levels.emplace_back();
    Level& level = scan->levels[scan->depth];
    std::vector<DirEntry>& entries = level.entries;
    std::vector<SortKey>& order = level.order;
    entries.clear();
    uint32_t rc = Platform.listDirectory(scan->path.c_str(), &entries);
    bool ok = rc == kErrorSuccess || rc == kErrorNoMoreFiles || rc == kErrorFileNotFound;
    if (!ok) reportSystemError(rc);
    sortEntries(&entries, scan->caseInsensitive, &order);

    size_t base = scan->path.size();
    for (const SortKey& key : order) {
        const DirEntry& entry = entries[key.index];
        const char* name = entry.name.c_str();
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        scan->path.resize(base);
        scan->path += scan->directorySeparator;
        scan->path += entry.name;
        if (entry.isDirectory) {
            DirIdentity identity;
            if (Platform.directoryIdentity(scan->path.c_str(), &identity) && !scan->visited.insert(identity).second)
                continue;  // already walked under another path
            ++scan->depth;
            walkDirectory(scan);
            --scan->depth;
        } else if (isArchiveName(entry.name)) {
            const char separator[2] = {scan->classPathSeparator, '\0'};
            appendText(scan->list, scan->path.c_str(), scan->path.size());
            appendText(scan->list, separator, 1);
        }
    }
    scan->path.resize(base);
    return ok;
}

}  // namespace

bool appendDirectoryArchives(TextBuffer* list, char* directory) {
    size_t n = std::strlen(directory);
    if (n > 1 && (directory[n - 1] == '\\' || directory[n - 1] == '/')) directory[--n] = '\0';
    Scan scan{list, std::string(directory, n), {}, Platform.pathStyle.dirSeparator,
              Platform.pathStyle.classPathSeparator, Platform.pathStyle.caseInsensitiveNames, {}, 0};
    DirIdentity identity;
    if (Platform.directoryIdentity(directory, &identity)) scan.visited.insert(identity);
    return walkDirectory(&scan);
}
