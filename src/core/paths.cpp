// Path handling under either system's rules (see paths.h). Plain text work: nothing here asks
// the system, so each rule is the same for the launcher and for the tests of the other system.
#include "core/paths.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace {

bool hasDrive(const PathStyle& style, const char* path) {
    return windowsPaths(style) && path[0] != '\0' && path[1] == ':';
}

// The names of a path after its drive, with "." and ".." folded and one separator each.
std::string folded(const PathStyle& style, const std::string& path) {
    std::vector<std::string> names;
    std::string out;
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = at;
        while (end < path.size() && !isPathSeparator(style, path[end])) ++end;
        std::string name = path.substr(at, end - at);
        if (at == 0 && hasDrive(style, name.c_str()) && name.size() == 2) out = name;  // the drive stays in front
        else if (name == "..") {
            if (!names.empty()) names.pop_back();
        } else if (!name.empty() && name != ".") {
            names.push_back(name);
        }
        at = end + 1;
    }
    for (const std::string& name : names) out += style.dirSeparator + name;
    return out;
}

}  // namespace

bool windowsPaths(const PathStyle& style) { return style.dirSeparator == '\\'; }

bool isPathSeparator(const PathStyle& style, char c) {
    return c == style.dirSeparator || (windowsPaths(style) && c == '/');
}

size_t pathRootLength(const PathStyle& style, const char* path) {
    if (hasDrive(style, path)) return isPathSeparator(style, path[2]) ? 3 : 2;
    if (!isPathSeparator(style, path[0])) return 0;
    if (!windowsPaths(style) || !isPathSeparator(style, path[1])) return 1;
    // A network root: the server's name and the share's.
    size_t at = 2;
    while (path[at] != '\0' && !isPathSeparator(style, path[at])) ++at;
    if (path[at] == '\0') return at;
    ++at;
    while (path[at] != '\0' && !isPathSeparator(style, path[at])) ++at;
    return at;
}

bool isAbsolutePath(const PathStyle& style, const char* path) { return pathRootLength(style, path) > 0; }

std::string joinPath(const PathStyle& style, const std::string& directory, const std::string& name) {
    if (!directory.empty() && isPathSeparator(style, directory.back())) return directory + name;
    return directory + style.dirSeparator + name;
}

bool joinPath(const PathStyle& style, char* buffer, size_t size, const char* directory, const char* name) {
    size_t directoryLength = strlen(directory), nameLength = strlen(name);
    bool separated = directoryLength > 0 && isPathSeparator(style, directory[directoryLength - 1]);
    size_t total = directoryLength + (separated ? 0 : 1) + nameLength;
    if (total + 1 > size) return false;
    memcpy(buffer, directory, directoryLength);  // NOLINT(bugprone-not-null-terminated-result): the name's copy ends it
    size_t at = directoryLength;
    if (!separated) buffer[at++] = style.dirSeparator;
    memcpy(buffer + at, name, nameLength + 1);
    return true;
}

std::string resolvePath(const PathStyle& style, const std::string& directory, const std::string& path) {
    size_t root = pathRootLength(style, path.c_str());
    if (root == 0) return joinPath(style, directory, path);
    if (windowsPaths(style) && root == 1 && hasDrive(style, directory.c_str())) return directory.substr(0, 2) + path;
    return path;
}

bool parentPath(const PathStyle& style, const std::string& path, std::string* parent) {
    size_t root = pathRootLength(style, path.c_str());
    size_t end = path.size();
    while (end > root && isPathSeparator(style, path[end - 1])) --end;
    if (end <= root) return false;
    size_t at = end;
    while (at > root && !isPathSeparator(style, path[at - 1])) --at;
    if (at == 0) return false;
    while (at > root && isPathSeparator(style, path[at - 1])) --at;
    *parent = path.substr(0, at);
    return true;
}

std::string pathFileName(const PathStyle& style, const std::string& path) {
    size_t root = pathRootLength(style, path.c_str());
    size_t at = path.size();
    while (at > root && !isPathSeparator(style, path[at - 1])) --at;
    return path.substr(at);
}

std::string withoutTrailingSeparators(const PathStyle& style, const std::string& path) {
    size_t root = pathRootLength(style, path.c_str());
    size_t end = path.size();
    while (end > root && isPathSeparator(style, path[end - 1])) --end;
    return path.substr(0, end);
}

bool sameFile(const PathStyle& style, const char* directory, const char* a, const char* b) {
    std::string first = folded(style, resolvePath(style, directory, a));
    std::string second = folded(style, resolvePath(style, directory, b));
    if (first.size() != second.size()) return false;
    for (size_t i = 0; i < first.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(first[i]), y = static_cast<unsigned char>(second[i]);
        if (x != y && (!style.caseInsensitiveNames || tolower(x) != tolower(y))) return false;
    }
    return true;
}
