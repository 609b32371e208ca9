// The main section of a jar's manifest: the attributes the launcher acts on.
#pragma once
#include <cstddef>
#include <string>

// The value of attribute `name` (ASCII case ignored) in the main section of `manifest`, with
// continuation lines joined; false when the section does not hold it. A name given twice
// takes its last value, and a last line without its line break is not read, as the
// runtime's own reader does.
bool manifestAttribute(const std::string& manifest, const char* name, std::string* value);

// True when `java -jar` reads the manifest: no byte-order mark, lines of at most 512 bytes
// with their line break, every header "Name: value" with a name of at most 70 letters, digits,
// '-' or '_', a continuation (a line starting with a blank) only after a header, and every
// section after the main one starting with its Name.
constexpr size_t kManifestLineMax = 512;
bool manifestReadable(const std::string& manifest);
