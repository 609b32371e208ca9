// The identity a packed Windows launcher presents: the application's name and version in
// its version information, and the execution level its manifest asks of Windows. Without
// settings it is the application's own (named after the output file), never Varnlet's.
#pragma once
#include <string>
#include <vector>

#include "launcher_file.h"
#include "pack_config.h"

// Checks the value of the top-level key `name` or `execution_level`.
bool checkIdentityValue(const std::string& key, const std::string& value, std::string* why);
// Fills the version information, execution level and DPI awareness of a request for the file `output`;
// *notes receives what looks inconsistent (a stated OriginalFilename that is not the output's).
void applyIdentity(const PackConfig& config, const std::string& target, const std::string& output, PackRequest* request,
                   std::vector<std::string>* notes);

// The level a manifest requests, or "" when it requests none.
std::string manifestExecutionLevel(const Bytes& manifest);
// The manifest with `level` requested; a manifest without a request gets one. An empty
// manifest becomes a minimal one.
bool setManifestExecutionLevel(const Bytes& manifest, const std::string& level, Bytes* out, std::string* error);
