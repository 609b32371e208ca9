// Where the running varnlet-pack is, on Linux: the kernel's link to the executable.
#include "stub_lookup.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string currentToolPath(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty()) return self.u8string();
    if (!argv0 || !*argv0) return "";
    fs::path p = fs::absolute(fs::u8path(argv0), ec);
    return ec ? "" : p.u8string();
}
