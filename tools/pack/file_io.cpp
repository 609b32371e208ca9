// File reads and atomic replacement.
#include "file_io.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
constexpr uintmax_t kMaxInput = uintmax_t{512} * 1024 * 1024;
}

bool readWholeFile(const std::string& path, Bytes* data, std::string* error) {
    std::error_code ec;
    fs::path p = utf8Path(path);
    if (!fs::is_regular_file(p, ec)) {
        *error = path + ": no such file";
        return false;
    }
    uintmax_t size = fs::file_size(p, ec);
    if (ec || size > kMaxInput) {
        *error = path + ": cannot read the file (or it is larger than 512 MB)";
        return false;
    }
    std::ifstream in(p, std::ios::binary);
    data->assign(static_cast<size_t>(size), 0);
    if (!in || !in.read(reinterpret_cast<char*>(data->data()), static_cast<std::streamsize>(size))) {
        *error = path + ": cannot read the file";
        return false;
    }
    return true;
}

bool readFileRange(const char* path, uint64_t offset, void* buffer, uint32_t size, uint32_t* got, uint64_t* fileSize) {
    *got = 0;
    std::error_code ec;
    fs::path p = utf8Path(path);
    uintmax_t length = fs::file_size(p, ec);
    if (ec) return false;
    *fileSize = length;
    if (offset >= length || size == 0) return true;
    std::ifstream in(p, std::ios::binary);
    if (!in.seekg(static_cast<std::streamoff>(offset))) return false;
    uint64_t wanted = length - offset < size ? length - offset : size;
    if (!in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(wanted))) return false;
    *got = static_cast<uint32_t>(wanted);
    return true;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(utf8Path(a), utf8Path(b), ec) && !ec;
}

bool writeFileReplacing(const std::string& path, const Bytes& data, bool executable, std::string* error) {
    static std::atomic<unsigned> counter{0};
    fs::path target = utf8Path(path);
    fs::path dir = target.parent_path();
    std::error_code ec;
    if (!dir.empty() && !fs::is_directory(dir, ec)) {
        *error = path + ": the directory " + utf8Text(dir) + " does not exist";
        return false;
    }
    if (fs::is_directory(target, ec)) {
        *error = path + ": is a directory";
        return false;
    }
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path temp = target;
    temp += ".tmp-" + std::to_string(stamp) + "-" + std::to_string(counter++);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (out) out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        if (out) out.close();
        if (!out) {
            fs::remove(temp, ec);
            *error = path + ": cannot write " + utf8Text(temp);
            return false;
        }
    }
    if (executable) {
        fs::permissions(temp, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                        fs::perm_options::add, ec);
        ec.clear();
    }
    fs::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        *error = path + ": cannot replace the file: " + ec.message();
        return false;
    }
    return true;
}

std::filesystem::path utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string utf8Text(const std::filesystem::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
