// Default launcher bodies: those of a release (beside the tool, or in ../share/varnlet as an
// unpacked archive and the installed package lay them out), then, in a developer's build, the
// body paths of its own tree and of the configured Windows build trees, passed as compile
// definitions.
#include "file_io.h"
#include "stub_lookup.h"

#include <filesystem>

#ifndef VARNLET_PACK_LINUX_STUB
#define VARNLET_PACK_LINUX_STUB ""
#endif
#ifndef VARNLET_PACK_WIN32_STUB
#define VARNLET_PACK_WIN32_STUB ""
#endif
#ifndef VARNLET_PACK_WIN64_STUB
#define VARNLET_PACK_WIN64_STUB ""
#endif

namespace fs = std::filesystem;

std::string bodyFileName(const std::string& target) {
#define VARNLET_TARGET(name, body) \
    if (target == #name) return body;
#include "pack_rules.def"
    return "";
}

std::vector<std::string> stubCandidates(const std::string& target, const std::string& toolPath) {
    std::vector<std::string> out;
    std::string name = bodyFileName(target);
    if (!toolPath.empty()) {
        fs::path dir = utf8Path(toolPath).parent_path();
        out.push_back(utf8Text(dir / name));
        out.push_back(utf8Text(dir.parent_path() / "share" / "varnlet" / name));
#ifdef VARNLET_PACK_IN_BUILD_TREE
        // In the build tree the tool sits in tools/pack below the body.
        out.push_back(utf8Text(dir.parent_path().parent_path() / name));
#endif
    }
    // A table, as a released tool has none of them and the branches would be the same.
    const char* const configuredBodies[] = {VARNLET_PACK_WIN32_STUB, VARNLET_PACK_WIN64_STUB, VARNLET_PACK_LINUX_STUB};
    std::string configured = configuredBodies[target == "win32" ? 0 : target == "win64" ? 1 : 2];
    if (!configured.empty()) out.push_back(configured);
    return out;
}
