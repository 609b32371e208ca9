// Option and class path texts that a launcher would cut at run time: under the %NAME% rules
// of stored launchers (ModernReferences off) a '%' that opens no variable's name loses text.
#pragma once
#include <map>
#include <string>
#include <vector>

// One warning per entry that would lose characters, naming the key, the text and the part
// lost; none when the entries switch ModernReferences on.
std::vector<std::string> referenceWarnings(const std::map<unsigned, std::u16string>& entries);
