// Whole-file reads, and writes that replace their target only when complete: the data
// goes to a temporary file beside the target, which is then renamed into place.
#pragma once
#include <string>

#include "byte_io.h"

bool readWholeFile(const std::string& path, Bytes* data, std::string* error);
bool writeFileReplacing(const std::string& path, const Bytes& data, bool executable, std::string* error);
bool sameFile(const std::string& a, const std::string& b);
