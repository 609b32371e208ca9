// Reading and packing launcher executables of both formats.
#include "launcher_file.h"

#include <algorithm>
#include <set>

#include "app_identity.h"
#include "dpi_awareness.h"
#include "elf_section.h"
#include "entry_block.h"
#include "entries/entries.h"
#include "entries/text_encoding.h"
#include "pe_image.h"
#include "platform/config_section.h"
#include "resource_tree.h"

namespace {

const ResourceName kMainIcon = resourceText("MAINICON");
constexpr uint16_t kDefaultLanguage = 1033;

std::string typeName(const ResourceName& type) {
    if (!type.isId) return describeName(type);
    switch (type.id) {
    case RtIcon: return "ICON";
    case RtString: return "STRING";
    case RtMessageTable: return "MESSAGETABLE";
    case RtGroupIcon: return "GROUP_ICON";
    case RtVersion: return "VERSION";
    case RtManifest: return "MANIFEST";
    default: return std::to_string(type.id);
    }
}

bool readPeResources(const Bytes& file, PeImage* pe, int* section, std::vector<ResourceItem>* items,
                     std::string* error) {
    if (!parsePe(file, pe, error)) return false;
    if (!findResourceSection(*pe, section, error)) return false;
    const PeSection& s = pe->sections[*section];
    return parseResourceTree(pe->bytes.data() + s.rawOffset, s.rawSize, s.virtualAddress, items, error);
}

const ResourceItem* findItem(const std::vector<ResourceItem>& items, uint16_t type, const ResourceName& name) {
    const ResourceItem* found = nullptr;
    for (const ResourceItem& i : items)
        if (i.type.isId && i.type.id == type && sameName(i.name, name)) {
            if (i.language == 0) return &i;  // the neutral entry is the one the launcher reads
            if (!found) found = &i;
        }
    return found;
}

void removeItems(std::vector<ResourceItem>& items, uint16_t type, const ResourceName& name) {
    items.erase(std::remove_if(
                    items.begin(), items.end(),
                    [&](const ResourceItem& i) { return i.type.isId && i.type.id == type && sameName(i.name, name); }),
                items.end());
}

bool readPe(const Bytes& file, LauncherContents* c, std::string* error) {
    PeImage pe;
    int section = 0;
    std::vector<ResourceItem> items;
    if (!readPeResources(file, &pe, &section, &items, error)) return false;
    c->format = pe.pe32plus ? LauncherFormat::Pe32Plus : LauncherFormat::Pe32;
    uint32_t rva = 0, size = 0;
    c->signedFile = dataDirectory(pe, DirSecurity, &rva, &size);
    c->windowed = rd16(pe.bytes.data() + subsystemOffset(pe)) == kSubsystemWindowsGui;
    for (const ResourceItem& i : items)
        c->resources.push_back(ResourceSummary{typeName(i.type), describeName(i.name), i.language, i.data.size()});
    for (size_t k = 0; k < kEntryCount; ++k) {
        unsigned id = kEntries[k].id;
        const ResourceItem* block = findItem(items, RtString, resourceId(static_cast<uint16_t>(id / 16 + 1)));
        std::u16string text;
        if (block && decodeBlockString(block->data.data(), block->data.size(), id % 16, &text)) c->entries[id] = text;
    }
    if (const ResourceItem* group = findItem(items, RtGroupIcon, kMainIcon)) {
        if (!parseGroupIcon(group->data, &c->icon, error)) return false;
        c->hasIcon = true;
    }
    if (const ResourceItem* version = findItem(items, RtVersion, resourceId(1))) {
        if (!parseVersionInfo(version->data, &c->version, error)) return false;
        c->hasVersion = true;
    }
    if (const ResourceItem* manifest = findItem(items, RtManifest, resourceId(1))) {
        c->executionLevel = manifestExecutionLevel(manifest->data);
        c->dpiAwareness = manifestDpiAwareness(manifest->data);
    }
    return true;
}

bool readElf(const Bytes& file, LauncherContents* c, std::string* error) {
    size_t offset = 0, size = 0;
    if (!findElfSection(file, VARNLET_CONFIG_SECTION_NAME, &offset, &size, error)) return false;
    std::vector<ConfigRecord> records;
    if (!parseConfigSection(file.data() + offset, size, &records, error)) return false;
    c->format = LauncherFormat::Elf;
    for (const ConfigRecord& r : records) {
        std::u16string text;
        if (findEntry(r.id) && decodeBlockString(r.block.data(), r.block.size(), 0, &text)) c->entries[r.id] = text;
    }
    return true;
}

void replaceIcon(std::vector<ResourceItem>& items, const std::vector<IconImage>& images) {
    uint16_t language = kDefaultLanguage;
    std::set<uint16_t> oldIds, keptIds;
    for (const ResourceItem& i : items) {
        if (!(i.type.isId && i.type.id == RtGroupIcon)) continue;
        std::vector<GroupIconEntry> entries;
        std::string ignored;
        bool isMain = sameName(i.name, kMainIcon);
        if (isMain) language = i.language;
        if (parseGroupIcon(i.data, &entries, &ignored))
            for (const GroupIconEntry& e : entries) (isMain ? oldIds : keptIds).insert(e.id);
    }
    // Images another group icon still uses stay.
    items.erase(std::remove_if(items.begin(), items.end(),
                               [&](const ResourceItem& i) {
                                   return i.type.isId && i.type.id == RtIcon && i.name.isId &&
                                          oldIds.count(i.name.id) && !keptIds.count(i.name.id);
                               }),
                items.end());
    removeItems(items, RtGroupIcon, kMainIcon);
    std::set<uint16_t> used;
    for (const ResourceItem& i : items)
        if (i.type.isId && i.type.id == RtIcon && i.name.isId) used.insert(i.name.id);
    std::vector<uint16_t> ids;
    for (uint16_t id = 1; ids.size() < images.size(); ++id)
        if (!used.count(id)) ids.push_back(id);
    for (size_t k = 0; k < images.size(); ++k) {
        ResourceItem icon;
        icon.type = resourceId(RtIcon);
        icon.name = resourceId(ids[k]);
        icon.language = language;
        icon.data = images[k].data;
        items.push_back(std::move(icon));
    }
    ResourceItem group;
    group.type = resourceId(RtGroupIcon);
    group.name = kMainIcon;
    group.language = language;
    group.data = buildGroupIcon(images, ids);
    items.push_back(std::move(group));
}

bool updateVersion(std::vector<ResourceItem>& items, const PackRequest& request, std::string* error) {
    VersionInfo info;
    uint16_t language = kDefaultLanguage;
    if (const ResourceItem* existing = findItem(items, RtVersion, resourceId(1))) {
        if (!parseVersionInfo(existing->data, &info, error)) return false;
        language = existing->language;
    }
    if (request.setFileVersion) std::copy(request.fileVersion, request.fileVersion + 4, info.fileVersion);
    if (request.setProductVersion) std::copy(request.productVersion, request.productVersion + 4, info.productVersion);
    if (request.wholeVersionTable) info.strings.clear();
    for (const auto& s : request.versionStrings) setVersionString(info, s.first, s.second);
    // Windows shows PrivateBuild and SpecialBuild only where the fixed flags say the file is such a build.
    auto has = [&](const char* key) {
        const std::u16string* text = versionString(info, utf8ToUtf16(key));
        return text && !text->empty();
    };
#define VARNLET_VERSION_FLAG(key, flag) info.fileFlags = has(#key) ? info.fileFlags | (flag) : info.fileFlags & ~(flag);
#include "pack_rules.def"
    if (info.translations.empty()) info.translations.push_back(0x04B00409);
    removeItems(items, RtVersion, resourceId(1));
    ResourceItem item;
    item.type = resourceId(RtVersion);
    item.name = resourceId(1);
    item.language = language;
    item.data = buildVersionInfo(info);
    items.push_back(std::move(item));
    return true;
}

// Rewritten in place, so the body's other manifest settings (code page, supported systems,
// common controls) stay.
bool updateManifest(std::vector<ResourceItem>& items, const PackRequest& request, std::string* error) {
    auto manifest = std::find_if(items.begin(), items.end(), [](const ResourceItem& i) {
        return i.type.isId && i.type.id == RtManifest && sameName(i.name, resourceId(1));
    });
    if (manifest == items.end()) {
        ResourceItem item;
        item.type = resourceId(RtManifest);
        item.name = resourceId(1);
        item.language = kDefaultLanguage;
        manifest = items.insert(items.end(), std::move(item));
    }
    Bytes& data = manifest->data;
    return (request.executionLevel.empty() ||
            setManifestExecutionLevel(Bytes(data), request.executionLevel, &data, error)) &&
           (request.dpiAwareness.empty() || setManifestDpiAwareness(Bytes(data), request.dpiAwareness, &data, error));
}

bool packPe(const Bytes& body, const PackRequest& request, Bytes* out, std::vector<std::string>* notes,
            std::string* error) {
    PeImage pe;
    int section = 0;
    std::vector<ResourceItem> items;
    if (!readPeResources(body, &pe, &section, &items, error)) return false;
    for (const auto& e : request.entries) {
        ResourceName block = resourceId(static_cast<uint16_t>(e.first / 16 + 1));
        removeItems(items, RtString, block);
        ResourceItem item;
        item.type = resourceId(RtString);
        item.name = block;
        item.language = 0;
        item.data = encodeEntryBlock(e.second);
        items.push_back(std::move(item));
    }
    if (request.replaceIcon) replaceIcon(items, request.icon);
    if ((!request.versionStrings.empty() || request.setFileVersion || request.setProductVersion) &&
        !updateVersion(items, request, error))
        return false;
    if ((!request.executionLevel.empty() || !request.dpiAwareness.empty()) && !updateManifest(items, request, error))
        return false;
    // One body serves both kinds: the launcher reads this field at run time. The checksum
    // is computed again when the resource section is put back.
    if (request.setSubsystem)
        wr16(pe.bytes.data() + subsystemOffset(pe), request.windowed ? kSubsystemWindowsGui : kSubsystemWindowsConsole);
    bool removed = false;
    if (!removeSignature(pe, &removed, error)) return false;
    if (removed)
        notes->push_back(
            "the launcher body was signed; its signature has been removed, so the output must be signed again");
    Bytes data = buildResourceTree(items, pe.sections[section].virtualAddress);
    if (!replaceResourceSection(pe, data, error)) return false;
    *out = std::move(pe.bytes);
    return true;
}

bool packElf(const Bytes& body, const PackRequest& request, Bytes* out, std::vector<std::string>* notes,
             std::string* error) {
    size_t offset = 0, size = 0;
    if (!findElfSection(body, VARNLET_CONFIG_SECTION_NAME, &offset, &size, error)) return false;
    std::vector<ConfigRecord> records;
    if (!parseConfigSection(body.data() + offset, size, &records, error)) return false;
    for (const auto& e : request.entries) {
        Bytes block = encodeEntryBlock(e.second);
        auto at = std::find_if(records.begin(), records.end(), [&](const ConfigRecord& r) { return r.id == e.first; });
        if (at != records.end()) at->block = block;
        else records.push_back(ConfigRecord{e.first, block});
    }
    if (request.hasWindowsResources())
        notes->push_back(
            "a Linux launcher has no icon, version information or windowed kind; those settings are not stored");
    Bytes image;
    if (!buildConfigSection(records, size, &image, error)) return false;
    *out = body;
    std::copy(image.begin(), image.end(), out->begin() + offset);
    return true;
}

}  // namespace

const char* targetOfFormat(LauncherFormat format) {
    switch (format) {
    case LauncherFormat::Pe32: return "win32";
    case LauncherFormat::Pe32Plus: return "win64";
    default: return "linux";
    }
}

bool readLauncher(const Bytes& file, LauncherContents* contents, std::string* error) {
    *contents = LauncherContents{};
    if (isPeFile(file)) return readPe(file, contents, error);
    if (isElfFile(file)) return readElf(file, contents, error);
    *error = "not a launcher executable: neither a PE nor an ELF file";
    return false;
}

bool packLauncher(const Bytes& body, const PackRequest& request, Bytes* out, std::vector<std::string>* notes,
                  std::string* error) {
    if (isPeFile(body)) return packPe(body, request, out, notes, error);
    if (isElfFile(body)) return packElf(body, request, out, notes, error);
    *error = "not a launcher executable: neither a PE nor an ELF file";
    return false;
}
