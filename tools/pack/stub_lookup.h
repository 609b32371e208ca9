// Where `varnlet-pack build` finds the launcher body of a target when no --stub is given:
// beside the tool, in ../share/varnlet, in the build tree it was built in, then in the
// configured build trees.
#pragma once
#include <string>
#include <vector>

std::string bodyFileName(const std::string& target);
// The candidate paths, in search order; toolPath is the running tool's own path.
std::vector<std::string> stubCandidates(const std::string& target, const std::string& toolPath);
// The running tool's own path (UTF-8), or "" when the system cannot tell.
std::string currentToolPath(const char* argv0);
