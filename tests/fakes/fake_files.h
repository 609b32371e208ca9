// A fake file system for the runtime search and class path tests: files, directories,
// directory links (which may lead back into their own tree), and failures on demand.
// Installing it replaces the table's attribute, listing and readability entries.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

struct FakeFileNode {
    bool isDirectory = false;
    bool readable = true;
    std::vector<std::string> children;  // names as written, in listing order
    std::string linkTarget;             // non-empty: a directory link to this path
    uint32_t attributeError = 0;        // non-zero: reading attributes fails with it
    uint32_t listError = 0;             // non-zero: the listing stops with it...
    size_t listErrorAfter = 0;          // ...after this many entries
    uint64_t identity = 0;
    bool identityUnknown = false;       // the listing cannot tell the directory's identity
};

class FakeFiles {
public:
    FakeFiles();  // needs a FakePlatform alive (for the last error and the path style)
    ~FakeFiles();
    FakeFiles(const FakeFiles&) = delete;
    FakeFiles& operator=(const FakeFiles&) = delete;

    // Parents are created as directories. Children list in the order they were added.
    void addFile(const std::string& path, bool readable = true);
    void addDirectory(const std::string& path);
    void addLink(const std::string& path, const std::string& target);
    FakeFileNode& node(const std::string& path);

    std::vector<std::string> attributeCalls;
    std::vector<std::string> listCalls;
    std::vector<std::string> readCalls;

    static FakeFiles* current;
    // Resolves links; "" when nothing is there.
    std::string resolve(const std::string& path) const;
    std::map<std::string, FakeFileNode> nodes;  // normalized path

private:
    std::string add(const std::string& path, bool isDirectory);
    uint64_t nextIdentity_ = 1;
};
