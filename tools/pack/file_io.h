// Whole-file reads, and writes that replace their target only when complete: the data
// goes to a temporary file beside the target, which is then renamed into place.
#pragma once
#include <filesystem>
#include <string>

#include "byte_io.h"

bool readWholeFile(const std::string& path, Bytes* data, std::string* error);
// Up to `size` bytes at `offset` of the file at the UTF-8 `path` into `buffer` (*got of them;
// fewer only at the end), and the file's size; false when the file cannot be opened or read.
// The launcher's jar reader reads through it here.
bool readFileRange(const char* path, uint64_t offset, void* buffer, uint32_t size, uint32_t* got, uint64_t* fileSize);
bool writeFileReplacing(const std::string& path, const Bytes& data, bool executable, std::string* error);
bool sameFile(const std::string& a, const std::string& b);
// Paths are UTF-8 text in the tool: these cross to and from the file system's own form.
std::filesystem::path utf8Path(const std::string& text);
std::string utf8Text(const std::filesystem::path& path);
