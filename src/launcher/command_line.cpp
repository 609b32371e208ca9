// The command line split by the launcher itself where the system keeps it whole. The C
// runtime's own expansion also expands a quoted wildcard ("*" handed main every name of the
// folder), while `java` leaves a quoted argument as it was written.
#include "launcher/command_line.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/allocation.h"
#include "core/paths.h"
#include "options/name_order.h"
#include "platform/platform.h"

namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

char folded(char c, bool caseInsensitive) {
    return caseInsensitive && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// '*' and '?' over the text in the process's code page; '?' takes a whole UTF-8 character.
bool matches(const char* pattern, const char* name, bool caseInsensitive) {
    const char *star = nullptr, *resume = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?') {
            ++pattern;
            while ((static_cast<unsigned char>(*++name) & 0xC0) == 0x80) {}
        } else if (*pattern && folded(*pattern, caseInsensitive) == folded(*name, caseInsensitive)) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

// A final ".*" asks for any extension or none, as the system's own searches take it.
bool matchesName(const std::string& pattern, const char* name, bool caseInsensitive) {
    if (matches(pattern.c_str(), name, caseInsensitive)) return true;
    size_t n = pattern.size();
    return n >= 2 && pattern.compare(n - 2, 2, ".*") == 0 &&
           matches(pattern.substr(0, n - 2).c_str(), name, caseInsensitive);
}

// Appends the names `text` matches, or the text itself when it names no folder or nothing matches.
void expandOne(const std::string& text, std::vector<std::string>* out) {
    const PathStyle& style = Platform.traits.pathStyle;
    std::string pattern = pathFileName(style, text);
    std::string prefix = text.substr(0, text.size() - pattern.size());
    DirListing listing;
    NameOrder order;
    if (!pattern.empty() && prefix.find_first_of("*?") == std::string::npos) {
        // "." after the prefix lists the folder it names, a root or a drive's current one too.
        Platform.files.listDirectory((prefix + ".").c_str(), &listing);
        for (uint32_t i = 0; i < listing.entries.size(); ++i)
            if (matchesName(pattern, listing.name(listing.entries[i]), style.caseInsensitiveNames))
                order.order.push_back(i);
    }
    if (order.order.empty()) {
        out->push_back(text);
        return;
    }
    sortNames(listing, style.caseInsensitiveNames, &order);
    for (uint32_t i : order.order) out->push_back(prefix + listing.name(listing.entries[i]));
}

}  // namespace

std::vector<CommandLineArgument> splitCommandLine(const std::u16string& line) {
    std::vector<CommandLineArgument> arguments;
    size_t i = 0, n = line.size();
    CommandLineArgument program{u"", false};
    for (bool quoted = false; i < n && (quoted || !isBlank(line[i])); ++i) {
        if (line[i] == u'"') quoted = !quoted;
        else program.text += line[i];
    }
    arguments.push_back(program);
    for (;;) {
        while (i < n && isBlank(line[i])) ++i;
        if (i >= n) break;
        CommandLineArgument argument{u"", false};
        bool quoted = false, wildcardOutside = false, wildcardInside = false;
        while (i < n && (quoted || !isBlank(line[i]))) {
            char16_t c = line[i];
            if (c == u'\\') {
                size_t slashes = 0;
                for (; i < n && line[i] == u'\\'; ++i) ++slashes;
                bool beforeQuote = i < n && line[i] == u'"';
                argument.text.append(beforeQuote ? slashes / 2 : slashes, u'\\');
                if (beforeQuote && slashes % 2 == 1) {
                    argument.text += u'"';
                    ++i;
                }
            } else if (c == u'"') {
                bool doubled = quoted && i + 1 < n && line[i + 1] == u'"';
                if (doubled) argument.text += u'"';
                else quoted = !quoted;
                i += doubled ? 2 : 1;
            } else {
                if (c == u'*' || c == u'?') (quoted ? wildcardInside : wildcardOutside) = true;
                argument.text += c;
                ++i;
            }
        }
        argument.expand = wildcardOutside && !wildcardInside;
        arguments.push_back(argument);
    }
    return arguments;
}

std::vector<std::string> expandArguments(const std::vector<CommandLineArgument>& arguments) {
    std::vector<std::string> texts;
    for (const CommandLineArgument& argument : arguments) {
        std::string text;
        Platform.process.encodeCodePage(argument.text, &text);
        if (argument.expand) expandOne(text, &texts);
        else texts.push_back(text);
    }
    return texts;
}

void launcherArguments(int* argc, char*** argv) {
    std::u16string line;
    if (!Platform.process.commandLine(&line)) return;
    std::vector<std::string> texts = expandArguments(splitCommandLine(line));
    if (texts.size() >= static_cast<size_t>(INT_MAX)) return;
    char** vector = static_cast<char**>(allocateZeroed(texts.size() + 1, sizeof(char*)));
    for (size_t i = 0; i < texts.size(); ++i) vector[i] = heapCopy(texts[i].data(), texts[i].size());
    *argc = static_cast<int>(texts.size());
    *argv = vector;
}
