// A launcher executable as varnlet-pack sees it: its configuration entries, icon and
// version information, read from a Windows (PE) or Linux (ELF) body, and the rewrite
// that stores an application's values in a copy of a body.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "byte_io.h"
#include "icon_file.h"
#include "version_info.h"

enum class LauncherFormat { Pe32, Pe32Plus, Elf };

// "win32", "win64" or "linux".
const char* targetOfFormat(LauncherFormat format);

struct ResourceSummary {
    std::string type, name;
    uint16_t language;
    size_t size;
};

struct LauncherContents {
    LauncherFormat format = LauncherFormat::Elf;
    std::map<unsigned, std::u16string> entries;  // the entries the file holds, by id
    bool hasIcon = false;
    std::vector<GroupIconEntry> icon;
    bool hasVersion = false;
    VersionInfo version;
    std::vector<ResourceSummary> resources;  // Windows only
    bool signedFile = false;
    bool windowed = false;  // Windows GUI subsystem: no console window
    std::string executionLevel;  // what the manifest requests; "" for none
    std::string dpiAwareness;  // what the manifest declares; "" for nothing
};

bool readLauncher(const Bytes& file, LauncherContents* contents, std::string* error);

struct PackRequest {
    std::map<unsigned, std::u16string> entries;  // stored text by id (MainClass already scrambled)
    bool replaceIcon = false;
    std::vector<IconImage> icon;
    std::vector<std::pair<std::u16string, std::u16string>> versionStrings;
    bool wholeVersionTable = false;  // versionStrings replace every text of the table, not only theirs
    bool setFileVersion = false, setProductVersion = false;
    bool setSubsystem = false, windowed = false;  // the PE subsystem: GUI or console
    uint16_t fileVersion[4] = {0, 0, 0, 0}, productVersion[4] = {0, 0, 0, 0};
    std::string executionLevel;  // the manifest's requested level; "" keeps the body's
    std::string dpiAwareness;  // the manifest's DPI mode; "" keeps the body's
    bool windowsOnly = false;  // identity settings given for a Linux launcher
    bool hasWindowsResources() const {
        return replaceIcon || !versionStrings.empty() || setFileVersion || setProductVersion || windowed || windowsOnly;
    }
};

// Builds the packed executable in *out; *notes receives what the user must know (e.g. a
// removed signature). Nothing is written to disk here.
bool packLauncher(const Bytes& body, const PackRequest& request, Bytes* out, std::vector<std::string>* notes,
                  std::string* error);
