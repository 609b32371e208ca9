// Compiled before every file of the launcher's code where CMake asks for it: the string
// classes' members come from string_instances.cpp instead of a copy in each file.
#pragma once

#include <string>

extern template class std::basic_string<char>;
extern template class std::basic_string<char16_t>;
