// The resource directory of a PE file as a flat list of (type, name, language, data)
// items, read from and written back to the three-level tree of the resource section.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "byte_io.h"

enum ResourceType : uint16_t {
    RtIcon = 3,
    RtString = 6,
    RtGroupIcon = 14,
    RtMessageTable = 11,
    RtVersion = 16,
    RtManifest = 24
};

struct ResourceName {
    bool isId = true;
    uint16_t id = 0;
    std::u16string text;  // when !isId
};

struct ResourceItem {
    ResourceName type;
    ResourceName name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    Bytes data;
};

ResourceName resourceId(uint16_t id);
ResourceName resourceText(const std::string& ascii);
// Named resources compare without regard to letter case, as the loader finds them.
bool sameName(const ResourceName& a, const ResourceName& b);
std::string describeName(const ResourceName& n);

// Reads the tree of a resource section that is mapped at `sectionRva`. Every directory,
// name and data entry must lie inside the section; a directory reached twice is refused.
bool parseResourceTree(const uint8_t* section, size_t size, uint32_t sectionRva, std::vector<ResourceItem>* items,
                       std::string* error);
// Lays out a resource section for address `sectionRva`: names before ids, both ascending.
Bytes buildResourceTree(const std::vector<ResourceItem>& items, uint32_t sectionRva);
