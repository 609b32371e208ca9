// Reading one value of a private-profile (INI) file's text, shared by the backends so that
// both read the file the same way and decide its encoding themselves.
#pragma once
#include <cstdint>
#include <string>

// The value of the first `key` in the first `section` of that name (both case-insensitive),
// blanks around names and values trimmed, one pair of enclosing quotes removed. A UTF-8
// byte-order mark is dropped and UTF-16 text of either byte order (with its mark) is read
// as UTF-8; the value's bytes are otherwise as the file holds them. False when there is no
// such key.
bool findProfileValue(std::string content, const char* section, const char* key, std::string* value);

// Reads `file` whole and finds the value as above; false when the file cannot be read or
// holds no such key.
bool readProfileValue(const char* file, const char* section, const char* key, std::string* value);

// Copies `value` into the caller's buffer as the profile calls do: cut to size - 1 bytes and
// terminated; returns the length copied.
uint32_t copyProfileValue(const std::string& value, char* buffer, uint32_t size);
