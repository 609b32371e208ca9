// Default launcher bodies. The build passes the body paths of its own tree and of the
// configured Windows build trees as compile definitions.
#include "stub_lookup.h"

#include <filesystem>
#include <system_error>

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
    if (target == "win32") return "varnlet.exe";
    if (target == "win64") return "varnlet64.exe";
    return "varnlet";
}

std::vector<std::string> stubCandidates(const std::string& target, const std::string& toolPath) {
    std::vector<std::string> out;
    std::string name = bodyFileName(target);
    if (!toolPath.empty()) {
        fs::path dir = fs::u8path(toolPath).parent_path();
        out.push_back((dir / name).u8string());
        // In the build tree the tool sits in tools/pack below the body.
        out.push_back((dir.parent_path().parent_path() / name).u8string());
    }
    std::string configured = target == "win32" ? VARNLET_PACK_WIN32_STUB : target == "win64" ? VARNLET_PACK_WIN64_STUB : VARNLET_PACK_LINUX_STUB;
    if (!configured.empty()) out.push_back(configured);
    return out;
}

std::string currentToolPath(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty()) return self.u8string();
    if (!argv0 || !*argv0) return "";
    fs::path p = fs::absolute(fs::u8path(argv0), ec);
    return ec ? "" : p.u8string();
}
