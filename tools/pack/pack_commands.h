// The varnlet-pack command line: build, show and init. Returns the process exit code.
#pragma once
#include <ostream>
#include <string>
#include <vector>

int runPack(const std::vector<std::string>& args, const std::string& toolPath, std::ostream& out, std::ostream& err);
