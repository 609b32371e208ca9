// Expanding a class path directory into the archives beneath it. Names are sorted per
// directory so the class path is the same on every file system, and each directory is
// walked once, so links that lead back into their own tree cannot make the walk endless.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "jvm/options.h"
#include "launcher/report.h"
#include "platform/platform.h"

namespace {

struct Scan {
    TextBuffer* list;
    std::string path;  // the directory being walked; grows and shrinks with the walk
    std::set<DirIdentity> visited;
    char directorySeparator;
    char classPathSeparator;
    bool caseInsensitive;
};

bool isArchiveName(const std::string& name) {
    if (name.size() < 4) return false;
    const char* tail = name.c_str() + name.size() - 4;
    char lowered[5];
    for (int i = 0; i < 4; ++i) lowered[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(tail[i])));
    lowered[4] = '\0';
    return std::strcmp(lowered, ".jar") == 0 || std::strcmp(lowered, ".zip") == 0;
}

int compareFolded(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i]));
        int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca - cb;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

void sortEntries(std::vector<DirEntry>* entries, bool caseInsensitive) {
    std::sort(entries->begin(), entries->end(), [caseInsensitive](const DirEntry& a, const DirEntry& b) {
        if (caseInsensitive) {
            int folded = compareFolded(a.name, b.name);
            if (folded != 0) return folded < 0;
        }
        return a.name < b.name;  // ties of case-insensitive names still sort the same way
    });
}

// Walks scan->path; false when its own listing failed (reported). Subdirectories that
// fail are reported by their own walk and do not fail this one.
bool walkDirectory(Scan* scan) {
    std::vector<DirEntry> entries;
    uint32_t rc = Platform.listDirectory(scan->path.c_str(), &entries);
    bool ok = rc == kErrorSuccess || rc == kErrorNoMoreFiles || rc == kErrorFileNotFound;
    if (!ok) reportSystemError(rc);
    sortEntries(&entries, scan->caseInsensitive);

    size_t base = scan->path.size();
    for (const DirEntry& entry : entries) {
        if (entry.name == "." || entry.name == "..") continue;
        scan->path.resize(base);
        scan->path += scan->directorySeparator;
        scan->path += entry.name;
        if (entry.isDirectory) {
            DirIdentity identity;
            if (Platform.directoryIdentity(scan->path.c_str(), &identity) && !scan->visited.insert(identity).second)
                continue;  // already walked under another path
            walkDirectory(scan);
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
              Platform.pathStyle.classPathSeparator, Platform.pathStyle.caseInsensitiveNames};
    DirIdentity identity;
    if (Platform.directoryIdentity(directory, &identity)) scan.visited.insert(identity);
    return walkDirectory(&scan);
}
