// How a packed Windows launcher tells Windows it draws at the display's scale: the manifest's
// dpiAware and dpiAwareness settings, chosen by the key dpi_awareness.
#pragma once
#include <string>

#include "byte_io.h"

extern const char* const kDefaultDpiAwareness;  // "permonitorv2", as the java command declares

// Checks a value of dpi_awareness: "permonitorv2", "system" or "unaware".
bool checkDpiAwareness(const std::string& value, std::string* why);
// The mode a manifest declares: one of the values above, the manifest's own text for another
// declaration, or "" when it declares none (Windows then scales the windows as bitmaps).
std::string manifestDpiAwareness(const Bytes& manifest);
// The manifest declaring `mode`, its other settings kept.
bool setManifestDpiAwareness(const Bytes& manifest, const std::string& mode, Bytes* out, std::string* error);
