// The java command's argument-file reader, written after that command's observable
// behaviour so that one file gives the same options with `java @file` and with the launcher.
#include "options/argument_files.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/allocation.h"
#include "core/report.h"
#include "core/working_directory.h"
#include "platform/platform.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\n' || c == '\r'; }
bool isLineBreak(char c) { return c == '\n' || c == '\r'; }

}  // namespace

std::vector<std::string> splitArgumentFileText(const std::string& text) {
    enum { Between, InArgument, InQuote, AfterBackslash, InComment, JoiningLine } state = Between;
    std::vector<std::string> arguments;
    std::string argument;
    char quote = '\0';
    for (char c : text) {
        switch (state) {
        case InComment:
            if (isLineBreak(c)) state = Between;
            continue;
        case AfterBackslash:
            if (isLineBreak(c)) {
                state = JoiningLine;
                continue;
            }
            argument += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == 'f' ? '\f' : c;
            state = InQuote;
            continue;
        case JoiningLine:
            if (isBlank(c)) continue;
            state = InQuote;
            break;
        case Between:
            if (isBlank(c)) continue;
            state = InArgument;
            break;
        default: break;
        }
        if (state == InQuote) {
            if (c == quote) state = InArgument;
            else if (c == '\\') state = AfterBackslash;
            else if (isLineBreak(c)) arguments.push_back(argument), argument.clear(), state = Between;
            else argument += c;
        } else if (isBlank(c)) {
            arguments.push_back(argument);
            argument.clear();
            state = Between;
        } else if (c == '#') {
            argument.clear();
            state = InComment;
        } else if (c == '"' || c == '\'') {
            quote = c;
            state = InQuote;
        } else {
            argument += c;
        }
    }
    // A file that ends inside an escape or a joined line's leading blanks gives that argument
    // no end, and the java command drops it.
    if (state == InArgument || state == InQuote) arguments.push_back(argument);
    // An empty argument ("" or '') stands for nothing in a file.
    arguments.erase(std::remove(arguments.begin(), arguments.end(), std::string()), arguments.end());
    return arguments;
}

bool splitEnvironmentText(const char* text, std::vector<std::string>* arguments) {
    std::string argument;
    bool inArgument = false;
    char quote = '\0';
    for (const char* p = text; *p; ++p) {
        if (quote != '\0') {
            if (*p == quote) quote = '\0';
            else argument += *p;
        } else if (strchr(" \t\n\r\f\v", *p)) {
            if (inArgument) arguments->push_back(argument);
            argument.clear();
            inArgument = false;
        } else {
            inArgument = true;
            if (*p == '"' || *p == '\'') quote = *p;
            else argument += *p;
        }
    }
    if (quote != '\0') {
        reportError("Unmatched quote in environment variable JDK_JAVA_OPTIONS");
        return false;
    }
    if (inArgument) arguments->push_back(argument);
    return true;
}

bool readArgumentFile(const char* path, std::string* text) {
    char* buffer = static_cast<char*>(allocate(kArgumentFileMax + 1));
    uint32_t got = 0;
    bool read = Platform.files.readStart(path, buffer, kArgumentFileMax + 1, &got);
    if (read && got <= kArgumentFileMax) text->assign(buffer, got);
    free(buffer);
    if (!read) return reportFileAccessFailure(path);
    if (got > kArgumentFileMax) {
        reportError("Argument file %s is longer than 1 MiB", path);
        return false;
    }
    return true;
}
