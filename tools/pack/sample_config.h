// `varnlet-pack init`: a commented sample configuration listing every entry.
#pragma once
#include <string>

std::string sampleConfig(const std::string& target);
