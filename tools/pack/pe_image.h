// Reading and rewriting PE32/PE32+ executables: headers, section table and data
// directories, all checked against the file before use; replacing the resource section.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "byte_io.h"

enum PeDirectory {
    DirExport = 0,
    DirImport = 1,
    DirResource = 2,
    DirException = 3,
    DirSecurity = 4,
    DirBaseReloc = 5,
    DirDebug = 6
};

struct PeSection {
    std::string name;  // as in the table; "/N" names are looked up in the string table
    uint32_t virtualSize;
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawOffset;
    uint32_t characteristics;
    size_t headerOffset;  // of this section's 40-byte table entry
};

struct PeImage {
    Bytes bytes;
    bool pe32plus = false;
    uint16_t machine = 0;
    size_t fileHeaderOffset = 0;  // COFF file header
    size_t optionalHeaderOffset = 0;
    size_t dataDirectoryOffset = 0;
    uint32_t dataDirectoryCount = 0;
    uint32_t fileAlignment = 0;
    uint32_t sectionAlignment = 0;
    uint32_t sizeOfHeaders = 0;
    std::vector<PeSection> sections;  // in table order, which is also address order
};

bool isPeFile(const Bytes& bytes);
// Checks headers, section table (inside the file, in address order, no overlaps in
// memory or in the file) and the data directory table.
bool parsePe(Bytes bytes, PeImage* image, std::string* error);
bool dataDirectory(const PeImage& image, unsigned index, uint32_t* rva, uint32_t* size);
// The file offset of [rva, rva + length) when it lies inside one section's file data.
bool rvaToOffset(const PeImage& image, uint32_t rva, uint32_t length, size_t* offset);
int sectionContaining(const PeImage& image, uint32_t rva);
// The resource section: the one the resource directory starts.
bool findResourceSection(const PeImage& image, int* index, std::string* error);

// Removes an Authenticode certificate table; *removed tells whether there was one.
bool removeSignature(PeImage& image, bool* removed, std::string* error);
// Puts `data` (built for the section's address) in place of the resource section, moving
// the sections and file data after it, and fixes sizes, directories and the checksum.
bool replaceResourceSection(PeImage& image, const Bytes& data, std::string* error);
uint32_t peChecksum(const Bytes& bytes, size_t checksumOffset);
size_t checksumOffset(const PeImage& image);
// The subsystem field, at the same place in PE32 and PE32+ optional headers.
constexpr uint16_t kSubsystemWindowsGui = 2;
constexpr uint16_t kSubsystemWindowsConsole = 3;
inline size_t subsystemOffset(const PeImage& image) { return image.optionalHeaderOffset + 68; }
