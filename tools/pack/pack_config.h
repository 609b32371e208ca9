// The application's configuration file (TOML): target, output, icon, the launcher's
// entries by name, messages by id or name, and version information. Every problem is
// reported as "file:line:column: text"; nothing is built from a file with errors.
#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "launcher_file.h"

struct PackConfig {
    std::string path;
    std::string target;  // "win32", "win64", "linux" or ""
    std::string output;  // resolved against the file's directory
    std::string icon;  // resolved against the file's directory
    std::map<unsigned, std::string> entries;  // UTF-8 values; MainClass in plain form
    std::map<unsigned, std::string> entryPlaces;  // "file:line:col" of each value
    std::vector<std::pair<std::string, std::string>> version;  // version-information key, value
    std::string iconPlace;
    bool setGui = false, gui = false;  // gui = true: a windowed launcher
    std::string name, versionNumber, executionLevel, dpiAwareness;  // the identity keys; "" when not set
};

bool isKnownTarget(const std::string& target);
bool parsePackConfig(const std::string& text, const std::string& path, PackConfig* config,
                     std::vector<std::string>* errors);
bool loadPackConfig(const std::string& path, PackConfig* config, std::vector<std::string>* errors);
// One option of a JvmOptions or AppOptions array in the stored form the launcher splits back
// into exactly that option (quoted where it holds blanks). False, with `why`, when no form does.
bool quoteOption(const std::string& option, std::string* stored, std::string* why);
// Settings that are valid but do not do what they seem to: "file:line:col: warning: ..." lines.
std::vector<std::string> packWarnings(const PackConfig& config);
// The same for settings the target has no use for: the Windows service settings on Linux.
std::vector<std::string> targetWarnings(const PackConfig& config, const std::string& target);
// Checks what depends on the target (text lengths, icon file) and prepares the rewrite.
bool makePackRequest(const PackConfig& config, const std::string& target, PackRequest* request,
                     std::vector<std::string>* errors);
// What every launcher needs, from the request or the body: a main class (an error without
// one), and a class path of its own (a warning when left at the body's default).
bool checkLauncherNeeds(const PackConfig& config, const PackRequest& request, const LauncherContents& body,
                        std::vector<std::string>* errors, std::vector<std::string>* warnings);
