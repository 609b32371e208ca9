// Warnings about '%' in JvmOptions and ClassPath under the stored reference rules. A
// reference to a name made of letters, digits, '_' and parentheses is taken as meant; an
// unclosed '%', "%%" and a "name" holding anything else (the JVM's own %p and %t followed
// by more text) are reported, since the launcher would remove them.
#include "reference_warnings.h"

#include <cctype>

#include "entries/entries.h"
#include "platform/unicode.h"

namespace {

bool plausibleName(const std::string& name) {
    if (name.size() < 2 || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '(' && c != ')') return false;
    return true;
}

// The first part of `text` the stored rules would remove, or "".
std::string firstLoss(const std::string& text) {
    for (size_t open = text.find('%'); open != std::string::npos;) {
        size_t close = text.find('%', open + 1);
        if (close == std::string::npos) return "%";
        std::string reference = text.substr(open, close - open + 1);
        if (!plausibleName(reference.substr(1, reference.size() - 2))) return reference;
        open = text.find('%', close + 1);
    }
    return "";
}

}  // namespace

std::vector<std::string> referenceWarnings(const std::map<unsigned, std::u16string>& entries) {
    std::vector<std::string> warnings;
    auto flag = entries.find(kEntryModernReferences);
    if (flag != entries.end() && convertFlag(utf16ToUtf8(flag->second).c_str())) return warnings;
    for (unsigned id : {1056u, 1072u}) {
        auto entry = entries.find(id);
        if (entry == entries.end()) continue;
        std::string text = utf16ToUtf8(entry->second), lost = firstLoss(text);
        if (lost.empty()) continue;
        warnings.push_back(std::string(findEntry(id)->name) + " \"" + text + "\": \"" + lost +
                           "\" would be removed at run time, where % starts a reference to an environment "
                           "variable; set ModernReferences = true to keep the text as written");
    }
    return warnings;
}
