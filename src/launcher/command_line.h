// The launcher's own arguments where the system keeps a program's command line whole
// (Windows): split by the system's rules, wildcards expanded only where they are not quoted.
#pragma once
#include <string>
#include <vector>

struct CommandLineArgument {
    std::u16string text;
    bool expand;  // holds '*' or '?' outside quotes and none inside them
};

// Splits a Windows command line: blanks and tabs separate; double quotes group and may stand
// inside an argument; 2n backslashes before a quote give n and the quote groups, 2n+1 give n
// and a literal quote; two quotes inside a quoted part give one literal quote; other
// backslashes are literal. The program name (first) ends at the first blank, or at its closing
// quote, and takes no escapes.
std::vector<CommandLineArgument> splitCommandLine(const std::u16string& line);

// Each argument, or where it is to be expanded the names its last part matches ('*' any run
// of characters, '?' any one, a final ".*" also matching names without one; letter case as
// the file system treats it) in the directory it names, sorted, written with that directory
// as given; an argument nothing matches stays as it is. Texts in the process's code page.
std::vector<std::string> expandArguments(const std::vector<CommandLineArgument>& arguments);

// The arguments main() is to use: the command line split and expanded here where the system
// keeps it whole (the runtime's own expansion also expands quoted wildcards), else argc and
// argv as given. The vector lives as long as the process.
void launcherArguments(int* argc, char*** argv);
