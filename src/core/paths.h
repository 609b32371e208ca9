// Path handling under either system's rules. Every function takes the rules as a parameter:
// the launcher passes Platform.traits.pathStyle, the unit tests the other system's too.
//
// Windows takes '\' and '/' alike as separators and has drive letters ("C:\", "C:") and
// network roots ("\\server\share"); POSIX has '/' alone.
#pragma once
#include <cstddef>
#include <string>

#include "platform/platform.h"

bool windowsPaths(const PathStyle& style);
bool isPathSeparator(const PathStyle& style, char c);

// Characters of the root a path starts with: "/" or "\" 1, "C:\" 3, "C:" 2, "\\server\share" up
// to its next separator; 0 for a relative path.
size_t pathRootLength(const PathStyle& style, const char* path);
// Whether the path names its own starting point (any root), so joining it to a directory
// would be wrong.
bool isAbsolutePath(const PathStyle& style, const char* path);

// `directory` + one separator + `name` (none added when the directory ends in one).
std::string joinPath(const PathStyle& style, const std::string& directory, const std::string& name);
// The same into `buffer`; false, with nothing written, when it does not fit.
bool joinPath(const PathStyle& style, char* buffer, size_t size, const char* directory, const char* name);
// `path` as seen from `directory`: relative paths joined to it; a Windows path at the root of
// the current drive ("\lib") takes the directory's drive; every other root stays.
std::string resolvePath(const PathStyle& style, const std::string& directory, const std::string& path);

// The path without its last name and the separators around it; a root keeps its separator
// ("/", "C:\": a bare "C:" would be the drive's current directory). False when there is no
// name to take away.
bool parentPath(const PathStyle& style, const std::string& path, std::string* parent);
// The path's last name (empty when it ends in a separator).
std::string pathFileName(const PathStyle& style, const std::string& path);
// The path without the separators it ends in, a root's own excepted.
std::string withoutTrailingSeparators(const PathStyle& style, const std::string& path);

// Whether two names reach one file from `directory`: both resolved, "." and ".." folded,
// separators made one, and compared as the system compares names.
bool sameFile(const PathStyle& style, const char* directory, const char* a, const char* b);
