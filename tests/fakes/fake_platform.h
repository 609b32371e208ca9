// Recording fakes of the platform table for unit tests. A test creates a FakePlatform; it
// installs the fakes over the table and restores the backend's defaults when it goes.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

struct ConsoleLine { bool toError; std::string text; };

struct FakeWorld {
    std::string currentDirectory = "C:\\start";
    std::string modulePath = "C:\\apps\\demo\\varnlet.exe";
    std::set<std::string> enterableDirectories{"C:\\start", "C:\\apps\\demo"};
    std::vector<std::string> directoryChanges;
    uint32_t currentDirectoryError = 0;  // non-zero: getCurrentDirectory fails with it
    SystemError lastError = kNoError;
    std::set<uint32_t> codesWithoutText;
    std::map<unsigned, std::string> strings;  // a missing id reads as absent
    std::set<std::string> readableFiles;
    std::map<std::string, std::map<std::string, std::string>> profiles;  // file -> key -> value
    std::vector<ConsoleLine> console;
    // The lines reported since the last call, marked by their stream; they are cleared.
    std::vector<std::string> takeConsole(const std::string& errorMark = "", const std::string& infoMark = "") {
        std::vector<std::string> lines;
        for (const ConsoleLine& l : console) lines.push_back((l.toError ? errorMark : infoMark) + l.text);
        console.clear();
        return lines;
    }
    std::map<std::string, std::string> environment;
};

class FakePlatform {
public:
    // Windows path rules unless told otherwise (the fakes hold Windows-looking paths); every
    // entry's default text in the string table.
    explicit FakePlatform(bool windowsStyle = true);
    ~FakePlatform();
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;
    FakeWorld& world();
};

// Resets Config and State to a freshly started process.
void resetLauncherRecords();
// Writes a real file and its missing directories; a path ending in '/' makes only directories.
void makeFile(const std::string& path, const std::string& content = "");
