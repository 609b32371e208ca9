// Where the running varnlet-pack is, on Linux: the kernel's link to the executable.
#include "file_io.h"
#include "stub_lookup.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string currentToolPath(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty()) return utf8Text(self);
    if (!argv0 || !*argv0) return "";
    fs::path p = fs::absolute(utf8Path(argv0), ec);
    return ec ? "" : utf8Text(p);
}
