// `varnlet-pack show`: a launcher's entries, icon and version information as text or JSON.
#pragma once
#include <string>

#include "launcher_file.h"

std::string showText(const std::string& file, const LauncherContents& contents);
std::string showJson(const std::string& file, const LauncherContents& contents);
