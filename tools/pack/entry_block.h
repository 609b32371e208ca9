// The storage format of one configuration entry, shared by the Windows string table and
// the Linux configuration section: a 16-bit count N, N UTF-16LE code units, a 16-bit zero.
#pragma once
#include <string>

#include "byte_io.h"

Bytes encodeEntryBlock(const std::u16string& text);
// Reads string `slot` (0-15) of a string-table block. False when the block ends before
// the string does; a slot the block never reaches counts as missing, not as empty.
bool decodeBlockString(const uint8_t* data, size_t size, unsigned slot, std::u16string* text);
