// The fake file system. Paths are split at '\' and '/', compared without case when the
// installed path style says so, and resolved through directory links component by component.
#include "fakes/fake_files.h"

#include <cctype>

#include "fakes/fake_platform.h"

FakeFiles* FakeFiles::current = nullptr;

namespace {

std::vector<std::string> components(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += Platform.pathStyle.caseInsensitiveNames ? static_cast<char>(std::tolower(static_cast<unsigned char>(c))) : c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

std::string joinParts(const std::vector<std::string>& parts, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) out += (i ? "/" : "") + parts[i];
    return out;
}

uint32_t fakeAttributes(const char* path) {
    FakeFiles& f = *FakeFiles::current;
    f.attributeCalls.push_back(path);
    std::string key = f.resolve(path);
    if (key.empty()) {
        Platform.setLastError(kErrorFileNotFound);
        return kInvalidFileAttributes;
    }
    const FakeFileNode& n = f.nodes.at(key);
    if (n.attributeError) {
        Platform.setLastError(n.attributeError);
        return kInvalidFileAttributes;
    }
    return n.isDirectory ? kFileAttributeDirectory : 0x20;
}

uint32_t fakeList(const char* directory, DirListing* listing) {
    FakeFiles& f = *FakeFiles::current;
    f.listCalls.push_back(directory);
    std::string key = f.resolve(directory);
    if (key.empty() || !f.nodes.at(key).isDirectory) {
        Platform.setLastError(kErrorPathNotFound);
        return kErrorPathNotFound;
    }
    const FakeFileNode& n = f.nodes.at(key);
    listing->identity = DirIdentity{7, n.identity};
    listing->hasIdentity = !n.identityUnknown;
    size_t listed = 0;
    for (const std::string& name : n.children) {
        if (n.listError && listed == n.listErrorAfter) break;
        std::string child = f.resolve(std::string(directory) + "/" + name);
        listing->add(name.c_str(), name.size(), !child.empty() && f.nodes.at(child).isDirectory);
        ++listed;
    }
    if (n.listError) {
        Platform.setLastError(n.listError);
        return n.listError;
    }
    return kErrorSuccess;
}

bool fakeReadable(const char* path) {
    FakeFiles& f = *FakeFiles::current;
    f.readCalls.push_back(path);
    std::string key = f.resolve(path);
    if (key.empty()) return false;
    const FakeFileNode& n = f.nodes.at(key);
    return !n.isDirectory && n.readable;
}

}  // namespace

FakeFiles::FakeFiles() {
    current = this;
    Platform.getFileAttributes = fakeAttributes;
    Platform.listDirectory = fakeList;
    Platform.canOpenForReading = fakeReadable;
}

FakeFiles::~FakeFiles() {
    const PlatformOps& d = defaultPlatformOps();
    Platform.getFileAttributes = d.getFileAttributes;
    Platform.listDirectory = d.listDirectory;
    Platform.canOpenForReading = d.canOpenForReading;
    current = nullptr;
}

std::string FakeFiles::add(const std::string& path, bool isDirectory) {
    std::vector<std::string> parts = components(path);
    // Names as written, for the listing.
    std::vector<std::string> written;
    std::string part;
    for (char c : path + "/") {
        if (c == '\\' || c == '/') {
            if (!part.empty()) written.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    for (size_t i = 1; i <= parts.size(); ++i) {
        std::string key = joinParts(parts, i);
        if (nodes.count(key)) continue;
        FakeFileNode n;
        n.isDirectory = i < parts.size() || isDirectory;
        n.identity = nextIdentity_++;
        nodes[key] = n;
        if (i > 1) nodes[joinParts(parts, i - 1)].children.push_back(written[i - 1]);
    }
    return joinParts(parts, parts.size());
}

void FakeFiles::addFile(const std::string& path, bool readable) { nodes[add(path, false)].readable = readable; }

void FakeFiles::addDirectory(const std::string& path) { add(path, true); }

void FakeFiles::addLink(const std::string& path, const std::string& target) {
    FakeFileNode& n = nodes[add(path, true)];
    n.linkTarget = target;
}

FakeFileNode& FakeFiles::node(const std::string& path) { return nodes.at(resolve(path)); }

std::string FakeFiles::resolve(const std::string& path) const {
    std::vector<std::string> parts = components(path);
    std::string key;
    for (size_t i = 0; i < parts.size(); ++i) {
        key = key.empty() ? parts[i] : key + "/" + parts[i];
        // A link that leads to another link is followed a bounded number of times.
        for (int hops = 0; hops < 16; ++hops) {
            auto it = nodes.find(key);
            if (it == nodes.end()) return "";
            if (it->second.linkTarget.empty()) break;
            key = joinParts(components(it->second.linkTarget), components(it->second.linkTarget).size());
        }
    }
    if (parts.empty() || !nodes.count(key) || !nodes.at(key).linkTarget.empty()) return "";
    return key;
}
