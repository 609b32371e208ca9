// The application's identity in a packed launcher. The body keeps Varnlet's own version
// information (what `show` of a body prints); a packed launcher sets every text of the
// string table, so no text of ours is left in an application's file properties, and Task Manager,
// firewall prompts and the windowed launcher's dialog titles name the application.
#include "file_io.h"
#include "app_identity.h"

#include <cctype>
#include <filesystem>

#include "entries/text_encoding.h"
#include "dpi_awareness.h"
#include "version_info.h"

namespace {

const char* const kLevels[] = {
#define VARNLET_EXECUTION_LEVEL(level) #level,
#include "pack_rules.def"
};

// The request Windows reads from the manifest; without it, Windows treats the program as one
// written before user account control (file and registry virtualization, installer detection).
std::string trustInfo(const std::string& level) {
    return "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n    <security>\n      <requestedPrivileges>\n"
           "        <requestedExecutionLevel level=\"" +
           level +
           "\" uiAccess=\"false\"/>\n"
           "      </requestedPrivileges>\n    </security>\n  </trustInfo>\n";
}

// The span of the level attribute's value inside the requestedExecutionLevel element.
bool findLevel(const std::string& xml, size_t* from, size_t* length) {
    size_t tag = xml.find("<requestedExecutionLevel");
    if (tag == std::string::npos) return false;
    size_t end = xml.find('>', tag);
    if (end == std::string::npos) return false;
    for (size_t at = xml.find("level", tag); at != std::string::npos && at < end; at = xml.find("level", at + 5)) {
        if (!isspace(static_cast<unsigned char>(xml[at - 1]))) continue;  // uiAccess and others
        size_t p = at + 5;
        while (p < end && isspace(static_cast<unsigned char>(xml[p]))) ++p;
        if (p >= end || xml[p] != '=') continue;
        ++p;
        while (p < end && isspace(static_cast<unsigned char>(xml[p]))) ++p;
        if (p >= end || (xml[p] != '"' && xml[p] != '\'')) return false;
        size_t close = xml.find(xml[p], p + 1);
        if (close == std::string::npos || close > end) return false;
        *from = p + 1;
        *length = close - p - 1;
        return true;
    }
    return false;
}

}  // namespace

bool checkIdentityValue(const std::string& key, const std::string& value, std::string* why) {
    if (key == "dpi_awareness") return checkDpiAwareness(value, why);
    if (key == "execution_level") {
        for (const char* level : kLevels)
            if (value == level) return true;
        *why = "execution_level must be \"asInvoker\", \"highestAvailable\" or \"requireAdministrator\"";
        return false;
    }
    if (value.empty() || value.size() > 1023) {
        *why = key + " must hold 1 to 1023 characters";
        return false;
    }
    return true;
}

void applyIdentity(const PackConfig& config, const std::string& target, const std::string& output, PackRequest* request,
                   std::vector<std::string>* notes) {
    if (target == "linux") {
        request->windowsOnly = !config.name.empty() || !config.executionLevel.empty() ||
                               !config.versionNumber.empty() || !config.dpiAwareness.empty();
        return;
    }
    namespace fs = std::filesystem;
    const std::string file = utf8Text(utf8Path(output).filename());
    const std::string name = !config.name.empty() ? config.name : utf8Text(utf8Path(output).stem());
    uint16_t number[4] = {0, 0, 0, 0};
    parseLeadingVersionNumber(config.versionNumber, number);
    const std::string version = config.versionNumber.empty() ? versionNumberText(number) : config.versionNumber;
    const std::string empty;
    const std::string *Empty = &empty, *Name = &name, *Version = &version, *File = &file, *Unset = nullptr;
    const std::string* const defaults[] = {
    // in kVersionStringKeys order; Unset: a text written only when the configuration states it
#define VARNLET_VERSION_KEY(key, defaultValue) defaultValue,
#include "pack_rules.def"
    };
    std::vector<std::pair<std::u16string, std::u16string>> strings;
    for (size_t i = 0; i < kVersionStringKeyCount; ++i) {
        std::u16string key = utf8ToUtf16(kVersionStringKeys[i]);
        std::u16string value = utf8ToUtf16(defaults[i] ? *defaults[i] : empty);
        bool stated = defaults[i] != nullptr;
        for (const auto& s : request->versionStrings)
            if (s.first == key) value = s.second, stated = true;
        if (!stated) continue;
        if (key == u"OriginalFilename" && value != utf8ToUtf16(file))
            notes->push_back("OriginalFilename \"" + utf16ToUtf8(value) + "\" is not the name of the output, " + file);
        strings.emplace_back(key, value);
    }
    request->versionStrings = strings;
    request->wholeVersionTable = true;
    if (!request->setFileVersion) std::copy(number, number + 4, request->fileVersion);
    if (!request->setProductVersion) std::copy(number, number + 4, request->productVersion);
    request->setFileVersion = request->setProductVersion = true;
    request->executionLevel = config.executionLevel.empty() ? kLevels[0] : config.executionLevel;
    request->dpiAwareness = config.dpiAwareness.empty() ? kDefaultDpiAwareness : config.dpiAwareness;
}

std::string manifestExecutionLevel(const Bytes& manifest) {
    std::string xml(manifest.begin(), manifest.end());
    size_t from = 0, length = 0;
    return findLevel(xml, &from, &length) ? xml.substr(from, length) : std::string();
}

bool setManifestExecutionLevel(const Bytes& manifest, const std::string& level, Bytes* out, std::string* error) {
    std::string xml(manifest.begin(), manifest.end());
    size_t from = 0, length = 0;
    if (xml.empty()) {
        xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n" +
            trustInfo(level) + "</assembly>\n";
    } else if (findLevel(xml, &from, &length)) {
        xml.replace(from, length, level);
    } else if (xml.find("<requestedExecutionLevel") != std::string::npos) {
        *error = "the manifest's requestedExecutionLevel has no readable level";
        return false;
    } else {
        size_t end = xml.rfind("</assembly>");
        if (end == std::string::npos) {
            *error = "the manifest has no </assembly> end tag";
            return false;
        }
        xml.insert(end, trustInfo(level));
    }
    out->assign(xml.begin(), xml.end());
    return true;
}
