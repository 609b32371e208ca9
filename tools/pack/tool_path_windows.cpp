// Where the running varnlet-pack.exe is, on Windows: the module's own file name, which holds
// even when the tool was found through PATH and argv[0] names no directory.
#include "file_io.h"
#include "stub_lookup.h"

#include <windows.h>

#include <filesystem>
#include <vector>

std::string currentToolPath(const char*) {
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0) return "";
        if (n < name.size()) return utf8Text(std::filesystem::path(std::wstring(name.data(), n)));
        if (name.size() >= 32768) return "";
        name.resize(name.size() * 2);
    }
}
