// Icons: the images of a .ico file, and the group-icon resource that lists them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "byte_io.h"

// The first eight bytes of an image's entry, laid out alike in a .ico file and in a
// group-icon resource: width, height, colors, a reserved byte, planes, bit count.
struct IconFormat {
    uint8_t width = 0, height = 0, colors = 0;  // 0 width/height means 256
    uint16_t planes = 0, bitCount = 0;
};

struct IconImage : IconFormat {
    Bytes data;  // a DIB (BITMAPINFOHEADER first) or a PNG image
};

struct GroupIconEntry : IconFormat {
    uint32_t bytes = 0;
    uint16_t id = 0;
};

// Reads every image of a .ico file; refuses anything that is not an icon.
bool parseIcoFile(const Bytes& file, std::vector<IconImage>* images, std::string* error);
Bytes buildGroupIcon(const std::vector<IconImage>& images, const std::vector<uint16_t>& ids);
bool parseGroupIcon(const Bytes& data, std::vector<GroupIconEntry>* entries, std::string* error);
std::string describeIconEntry(const GroupIconEntry& e);
