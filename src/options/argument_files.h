// The java command's argument files (@file) and the text of JDK_JAVA_OPTIONS, each read by
// that command's rules for blanks, quotes, escapes and comments.
#pragma once
#include <string>
#include <vector>

// Cuts `text` into arguments as the java command does: blanks, tabs, form feeds and line
// breaks separate; single or double quotes group (and may cover part of an argument);
// within quotes a backslash escapes (\n \r \t \f, any other character stands for itself,
// and before a line break it joins the next line without its leading blanks), outside them
// it is an ordinary character; a line break ends an argument even within quotes; '#' outside
// quotes starts a comment to the end of the line and, as with the java command, drops the
// argument it interrupts; an empty argument, and one the file's end leaves inside an escape,
// are dropped.
std::vector<std::string> splitArgumentFileText(const std::string& text);

// Cuts JDK_JAVA_OPTIONS as the java command does: blanks, tabs, line breaks, form feeds and
// vertical tabs separate, single or double quotes group, nothing escapes, nothing is a
// comment, "" is an empty argument. False after reporting an unmatched quote.
bool splitEnvironmentText(const char* text, std::vector<std::string>* arguments);

// Reads the argument file `path` (at most kArgumentFileMax bytes) into `text`. False after a
// reported failure: a file that cannot be read, or a longer one (never cut short).
constexpr unsigned kArgumentFileMax = 1u << 20;  // 1 MiB
bool readArgumentFile(const char* path, std::string* text);
