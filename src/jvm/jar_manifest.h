// The main section of a jar's manifest: the attributes the launcher acts on.
#pragma once
#include <string>

// The value of attribute `name` (ASCII case ignored) in the main section of `manifest`, with
// continuation lines joined; false when the section does not hold it. A name given twice
// takes its last value, as the runtime's own reader does.
bool manifestAttribute(const std::string& manifest, const char* name, std::string* value);
