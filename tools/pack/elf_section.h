// The Linux body's configuration section: finding it in an ELF file and reading or
// rewriting its entry records.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "byte_io.h"

bool isElfFile(const Bytes& bytes);
// Finds the file range of the named section; checks the headers, the section table and
// the name table against the file. A section without file contents is refused.
bool findElfSection(const Bytes& file, const char* name, size_t* offset, size_t* size, std::string* error);

struct ConfigRecord {
    unsigned id;
    Bytes block;  // count, code units, zero
};

// Reads the records of a configuration section image (magic, sizes, records, end mark).
bool parseConfigSection(const uint8_t* section, size_t size, std::vector<ConfigRecord>* records, std::string* error);
// Writes records into a section image of exactly `size` bytes; false when they do not fit.
bool buildConfigSection(const std::vector<ConfigRecord>& records, size_t size, Bytes* image, std::string* error);
