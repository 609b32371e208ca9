// Reading one value of a private-profile (INI) file's text, shared by the backends so that
// both read the file the same way and decide its encoding themselves.
#pragma once
#include <string>

// The value of the first `key` in the first `section` of that name (both case-insensitive),
// blanks around names and values trimmed, one pair of enclosing quotes removed. A UTF-8
// byte-order mark is dropped and UTF-16LE text (with its mark) is read as UTF-8; the value's
// bytes are otherwise as the file holds them. False when there is no such key.
bool findProfileValue(std::string content, const char* section, const char* key, std::string* value);
