// The size text of LogRotateSize, read alike by the launcher and varnlet-pack.
#pragma once
#include <cstdint>

// "10 MB", "512 KB", "1GB", "4096" (bytes; units count 1024, any letter case, blanks
// around them allowed): the byte count. "" or "0" means no limit (0). False for anything
// else, a count too large to hold included.
bool parseLogSize(const char* text, uint64_t* bytes);
