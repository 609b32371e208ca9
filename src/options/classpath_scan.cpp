// Expanding a class path directory into the archives beneath it. Names are sorted per
// directory so the class path is the same on every file system, and each directory is
// walked once, so links that lead back into their own tree cannot make the walk endless.
// Some file systems (network redirectors, FUSE) give no real identity: zero, or one number
// for directories that are not the same. Those directories are walked as unknown, and a
// depth bound ends any cycle among them.
#include "options/classpath_scan.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "core/allocation.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/report.h"
#include "options/name_order.h"
#include "options/options.h"
#include "options/text_buffer.h"
#include "platform/platform.h"

namespace {

// One listing and its order per depth, reused by sibling directories so that a tree of
// many small directories does not allocate and fault in fresh memory for each of them.
struct Level {
    DirListing listing;
    NameOrder order;
};

struct Scan {
    TextBuffer* list;
    std::string path;  // the directory being walked; grows and shrinks with the walk
    std::map<DirIdentity, uint64_t> visited;  // identity -> fingerprint of its names
    bool depthReported;
    char directorySeparator;
    char classPathSeparator;
    bool caseInsensitive;
    std::deque<Level> levels;  // a deque keeps each level in place while deeper ones are added
    size_t depth;
};

bool isArchiveName(const char* name, size_t length) {
    if (length < 4) return false;
    const char* tail = name + length - 4;
    char lowered[4];
    for (int i = 0; i < 4; ++i)
        lowered[i] = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] + ('a' - 'A')) : tail[i];
    return std::memcmp(lowered, ".jar", 4) == 0 || std::memcmp(lowered, ".zip", 4) == 0;
}

// The names the walk uses (directories and archives), in name order.
void orderEntries(const DirListing& listing, bool caseInsensitive, NameOrder* order) {
    order->order.clear();
    const std::vector<DirName>& entries = listing.entries;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].isDirectory || isArchiveName(listing.name(entries[i]), entries[i].length))
            order->order.push_back(static_cast<uint32_t>(i));
    }
    sortNames(listing, caseInsensitive, order);
}

// Directories deeper than this are not entered when their identity is unknown.
constexpr size_t kUnknownIdentityDepth = 48;

// A directory reached again through a link lists the same names: their number, their
// total length and the first and last of them are hashed (all of them would cost the walk
// of a large directory a pass of its own).
uint64_t fingerprint(const DirListing& listing) {
    uint64_t hash = (1469598103934665603ull ^ listing.entries.size()) * 1099511628211ull ^ listing.names.size();
    if (listing.entries.empty()) return hash;
    for (const DirName* entry : {&listing.entries.front(), &listing.entries.back()}) {
        const char* name = listing.name(*entry);
        for (uint32_t i = 0; i <= entry->length; ++i)
            hash = (hash ^ static_cast<unsigned char>(name[i])) * 1099511628211ull;
    }
    return hash;
}

// True when the listing is a directory already walked. An identity the file system cannot
// vouch for (no index, or one already given to a directory with other names) is unknown.
bool walkedBefore(Scan* scan, const DirListing& listing, bool* known) {
    *known = listing.hasIdentity && listing.identity.index != 0;
    if (!*known) return false;
    uint64_t names = fingerprint(listing);
    auto placed = scan->visited.emplace(listing.identity, names);
    if (placed.second) return false;
    if (placed.first->second == names) return true;
    *known = false;
    return false;
}

// Walks scan->path; false when its own listing failed (reported). Subdirectories that
// fail are reported by their own walk and do not fail this one. A directory is known by
// its identity only once it is open, so one reached again is listed and then left.
bool walkDirectory(Scan* scan) {
    if (scan->depth == scan->levels.size()) scan->levels.emplace_back();
    Level& level = scan->levels[scan->depth];
    DirListing& listing = level.listing;
    listing.clear();
    SystemError rc = Platform.files.listDirectory(scan->path.c_str(), &listing);
    // An incomplete class path must not be used.
    if (rc.kind == ErrorKind::OutOfMemory) outOfMemory();
    // Reached before under another path (a link into the tree, or back up to an ancestor).
    bool known = false;
    if (walkedBefore(scan, listing, &known)) return true;
    bool deepEnough = !known && scan->depth >= kUnknownIdentityDepth;
    bool ok = rc.listedAll();
    if (!ok) reportSystemError(rc);
    orderEntries(listing, scan->caseInsensitive, &level.order);

    // This directory's own archives are known now: room for all of them at once, so the
    // class path of a large directory is written in place rather than copied as it grows.
    size_t base = scan->path.size();
    size_t archiveBytes = 0;
    for (uint32_t index : level.order.order) {
        const DirName& entry = listing.entries[index];
        if (!entry.isDirectory) archiveBytes += base + entry.length + 2;  // separator, name, list separator
    }
    reserveText(scan->list, archiveBytes);
    for (uint32_t index : level.order.order) {
        const DirName& entry = listing.entries[index];
        scan->path.resize(base);
        scan->path += scan->directorySeparator;
        scan->path.append(listing.name(entry), entry.length);
        if (entry.isDirectory) {
            if (deepEnough) {
                if (!scan->depthReported) reportError(message(MsgFileAccess), scan->path.c_str());
                scan->depthReported = true;
                continue;
            }
            ++scan->depth;
            walkDirectory(scan);
            --scan->depth;
        } else {
            scan->path += scan->classPathSeparator;
            appendText(scan->list, scan->path.c_str(), scan->path.size());
        }
    }
    scan->path.resize(base);
    return ok;
}

}  // namespace

BuildOutcome appendDirectoryArchives(TextBuffer* list, char* directory) {
    size_t n = std::strlen(directory);
    if (n > 1 && isPathSeparator(Platform.traits.pathStyle, directory[n - 1])) directory[--n] = '\0';
    Scan scan{list,
              std::string(directory, n),
              {},
              false,
              Platform.traits.pathStyle.dirSeparator,
              Platform.traits.pathStyle.classPathSeparator,
              Platform.traits.pathStyle.caseInsensitiveNames,
              {},
              0};
    return walkDirectory(&scan) ? BuildOutcome::Done : BuildOutcome::Reported;
}
