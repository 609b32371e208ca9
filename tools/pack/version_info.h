// The version-information resource (VS_VERSIONINFO): fixed file and product versions,
// one string table of named texts, and the translation list.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "byte_io.h"

struct VersionInfo {
    uint16_t fileVersion[4] = {0, 0, 0, 0};
    uint16_t productVersion[4] = {0, 0, 0, 0};
    uint32_t fileFlagsMask = 0x3F, fileFlags = 0, fileOs = 0x40004, fileType = 1, fileSubtype = 0;
    uint32_t dateHigh = 0, dateLow = 0;
    std::u16string tableKey = u"040904B0";  // language and code page
    std::vector<std::pair<std::u16string, std::u16string>> strings;  // in file order
    std::vector<uint32_t> translations{0x04B00409};
};

// The version-information string keys the configuration may set (pack_rules.def).
extern const char* const kVersionStringKeys[];
extern const size_t kVersionStringKeyCount;

bool parseVersionInfo(const Bytes& data, VersionInfo* info, std::string* error);
Bytes buildVersionInfo(const VersionInfo& info);
// "1", "1.2", "1.2.3" or "1.2.3.4", each part 0-65535.
bool parseVersionNumber(const std::string& text, uint16_t parts[4]);
// The numbers a version text starts with, as above: "1.2.3-beta" gives 1.2.3.0.
bool parseLeadingVersionNumber(const std::string& text, uint16_t parts[4]);
std::string versionNumberText(const uint16_t parts[4]);
void setVersionString(VersionInfo& info, const std::u16string& key, const std::u16string& value);
const std::u16string* versionString(const VersionInfo& info, const std::u16string& key);
