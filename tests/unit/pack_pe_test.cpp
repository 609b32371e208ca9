// varnlet-pack's PE side: header checks on malformed files, the resource tree, and the
// resource-section rewrite (growth that moves relocations, refusals, checksum, signature) and
// the manifest's execution level and DPI mode.
#include <gtest/gtest.h>

#include <map>

#include "app_identity.h"
#include "entries/entries.h"
#include "dpi_awareness.h"
#include "entry_block.h"
#include "launcher_file.h"
#include "pack/test_images.h"
#include "pe_image.h"
#include "resource_tree.h"

namespace {

std::vector<ResourceItem> baseItems() {
    return {makeItem(RtString, resourceId(65), 0, encodeEntryBlock(u"0x00010003")),
            makeItem(RtMessageTable, resourceId(1), 1033, Bytes{1, 2, 3, 4}),
            makeItem(RtManifest, resourceId(1), 1033, Bytes(100, 'm'))};
}

// .text at 0x1000, .rsrc at 0x2000, .reloc at 0x3000 (relocating two words in .text).
Bytes threeSectionPe(bool plus = true) {
    return makeTestPe(plus,
                      {{".text", 0x1000, Bytes(0x300, 0xC3), kTestCode},
                       {".rsrc", 0x2000, buildResourceTree(baseItems(), 0x2000), kTestData},
                       {".reloc", 0x3000, makeRelocations(0x1000, {0x10, 0x20}), kTestDiscardable}},
                      1, 2);
}

// What parsing (or, once parsed, finding the resources) reports about `b`.
std::string readError(const Bytes& b) {
    PeImage pe;
    std::string error;
    int r = 0;
    EXPECT_FALSE(parsePe(b, &pe, &error) && findResourceSection(pe, &r, &error));
    return error;
}

}  // namespace

TEST(PackPe, MalformedHeadersAreRefused) {
    const Bytes good = threeSectionPe();
    PeImage pe;
    std::string error;
    ASSERT_TRUE(parsePe(good, &pe, &error)) << error;
    auto header = [&](int section, size_t field) { return pe.sections[section].headerOffset + field; };
    // `value` is written at `at` (0: nowhere); `keep` bytes are kept (0: all).
    struct Row { size_t at; uint32_t value; size_t keep; const char* error; } rows[] = {
        {0, 0, 30, "DOS header"},
        {0, 0, kTestPeOffset + 10, "PE header"},
        {0, 0, kTestPeOffset + 100, "optional header"},
        {0, 0, good.size() - 0x100, "outside the file"},  // the last section's data cut short
        {60, 0xFFFFFFF0u, 0, "outside the file"},
        {kTestPeOffset + 24 + 36, 256, 0, "alignment"},  // no Windows executable aligns below 512
        {header(1, 20), 0x7FFFFF00, 0, "section .rsrc lies outside the file"},
        {header(2, 20), pe.sections[1].rawOffset, 0, "overlap in the file"},
        {header(0, 20), 0x100, 0, "overlaps the headers"},
        {header(0, 8), 0x1800, 0, "overlap in memory"},
        {pe.dataDirectoryOffset + 16, 0x9000, 0, "outside every section"},
    };
    for (const Row& row : rows) {
        Bytes b = row.keep ? Bytes(good.begin(), good.begin() + row.keep) : good;
        if (row.at) wr32(&b[row.at], row.value);
        EXPECT_NE(readError(b).find(row.error), std::string::npos) << row.error << ": " << readError(b);
    }
    for (size_t n = 0; n < 0x200; n += 7) EXPECT_FALSE(readError(Bytes(good.begin(), good.begin() + n)).empty()) << n;
}

TEST(PackPe, MalformedResourceTreesAreRefused) {
    Bytes section = buildResourceTree(baseItems(), 0x2000);
    std::vector<ResourceItem> items;
    std::string error;
    ASSERT_TRUE(parseResourceTree(section.data(), section.size(), 0x2000, &items, &error)) << error;
    EXPECT_EQ(items.size(), 3u);

    Bytes loop = section;
    wr32(&loop[16 + 4], 0x80000000u);  // first type points back at the root
    EXPECT_FALSE(parseResourceTree(loop.data(), loop.size(), 0x2000, &items, &error));
    EXPECT_NE(error.find("reached twice"), std::string::npos);

    // The section cut inside the data that comes last, the manifest's 100 bytes.
    EXPECT_FALSE(parseResourceTree(section.data(), section.size() - 60, 0x2000, &items, &error));
    EXPECT_NE(error.find("the data of resource 24/1 lies outside the resource section"), std::string::npos) << error;

    for (size_t n = 0; n + 8 <= section.size(); n += 5)  // the last 8 bytes may be padding
        EXPECT_FALSE(parseResourceTree(section.data(), n, 0x2000, &items, &error) && items.size() == 3) << n;
}

TEST(PackPe, GrowingResourcesMovesRelocationsAndFixesHeaders) {
    Bytes body = threeSectionPe();
    PackRequest request;
    request.entries[kEntryClassPath] = std::u16string(1000, u'x');
    for (unsigned id = kFirstMessageId; id <= kLastMessageId; id += 16) request.entries[id] = std::u16string(900, u'm');  // far more than 0x1000 bytes
    Bytes out;
    std::vector<std::string> notes;
    std::string error;
    ASSERT_TRUE(packLauncher(body, request, &out, &notes, &error)) << error;
    PeImage pe;
    ASSERT_TRUE(parsePe(out, &pe, &error)) << error;
    ASSERT_EQ(pe.sections.size(), 3u);
    const PeSection& rsrc = pe.sections[1];
    const PeSection& reloc = pe.sections[2];
    EXPECT_GT(rsrc.virtualSize, 0x1000u);
    EXPECT_GE(reloc.virtualAddress, rsrc.virtualAddress + rsrc.virtualSize);
    EXPECT_EQ(reloc.virtualAddress % 0x1000, 0u);
    EXPECT_EQ(reloc.rawOffset, rsrc.rawOffset + rsrc.rawSize);
    uint32_t rva = 0, size = 0;
    ASSERT_TRUE(dataDirectory(pe, DirBaseReloc, &rva, &size));
    EXPECT_EQ(rva, reloc.virtualAddress);
    ASSERT_TRUE(dataDirectory(pe, DirResource, &rva, &size));
    EXPECT_EQ(size, rsrc.virtualSize);
    // The relocation data moved with its section, unchanged.
    EXPECT_EQ(Bytes(out.begin() + reloc.rawOffset, out.begin() + reloc.rawOffset + 12), makeRelocations(0x1000, {0x10, 0x20}));
    uint32_t imageSize = rd32(&out[pe.optionalHeaderOffset + 56]);
    EXPECT_EQ(imageSize, alignUp(reloc.virtualAddress + reloc.virtualSize, 0x1000));
    EXPECT_EQ(rd32(&out[checksumOffset(pe)]), peChecksum(out, checksumOffset(pe)));
    LauncherContents c;
    ASSERT_TRUE(readLauncher(out, &c, &error)) << error;
    EXPECT_EQ(c.entries[kEntryClassPath], request.entries[kEntryClassPath]);
    EXPECT_EQ(c.entries[1024], u"0x00010003");  // unset entries keep the body's value
}

// Growth must not move program data, nor sections that relocations point into.
TEST(PackPe, GrowthThatWouldMoveProgramDataIsRefused) {
    PackRequest small, large;
    small.entries[kEntryClassPath] = u"app.jar";
    for (unsigned id = kFirstMessageId; id <= kLastMessageId; id += 16) large.entries[id] = std::u16string(900, u'm');
    const std::pair<Bytes, const char*> rows[] = {
        {makeTestPe(false, {{".rsrc", 0x1000, buildResourceTree(baseItems(), 0x1000), kTestData}, {".data", 0x2000, Bytes(64, 7), kTestData}}, 0),
         "section .data follows them"},
        {makeTestPe(true, {{".rsrc", 0x1000, buildResourceTree(baseItems(), 0x1000), kTestData},
                           {".reloc", 0x2000, makeRelocations(0x2000, {0x8}), kTestDiscardable}}, 0, 1),
         "relocations"},
    };
    for (const auto& [body, why] : rows) {
        Bytes out;
        std::vector<std::string> notes;
        std::string error;
        EXPECT_TRUE(packLauncher(body, small, &out, &notes, &error)) << error;
        EXPECT_FALSE(packLauncher(body, large, &out, &notes, &error));
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
}

// A certificate table goes with the padding before it (tests/pack/pack_check.py signs the real bodies and shows
// the note, the signed flag and the emptied directory entry).
TEST(PackPe, SignatureIsRemovedWithItsPadding) {
    Bytes body = threeSectionPe();
    PeImage pe;
    std::string error;
    ASSERT_TRUE(parsePe(body, &pe, &error));
    const uint32_t at = static_cast<uint32_t>(body.size());
    body.resize(at + 4, 0);  // aligning the certificate table to 8 bytes
    body.resize(at + 4 + 0x80, 0xAB);
    wr32(&body[pe.dataDirectoryOffset + 32], at + 4);
    wr32(&body[pe.dataDirectoryOffset + 36], 0x80);
    PackRequest request;
    request.entries[kEntryServiceName] = u"Svc";
    Bytes out;
    std::vector<std::string> notes;
    ASSERT_TRUE(packLauncher(body, request, &out, &notes, &error)) << error;
    EXPECT_EQ(out.size(), at);  // the certificate bytes and their padding are gone, nothing else
    // A certificate table that points into a section is malformed, not removable.
    wr32(&body[pe.dataDirectoryOffset + 32], pe.sections[0].rawOffset);
    EXPECT_FALSE(packLauncher(body, request, &out, &notes, &error));
}

TEST(PackPe, IconAndVersionAreReplacedKeepingOtherResources) {
    std::vector<ResourceItem> items = baseItems();
    IconImage old{{16, 16, 0, 1, 32}, Bytes(40, 0)};
    old.data[0] = 40;  // the size of the bitmap header
    items.push_back(makeItem(RtIcon, resourceId(1), 1033, old.data));
    items.push_back(makeItem(RtIcon, resourceId(7), 1033, Bytes(44, 9)));  // used by another group
    items.push_back(makeItem(RtGroupIcon, resourceText("MAINICON"), 1033, buildGroupIcon({old}, {1})));
    items.push_back(makeItem(RtGroupIcon, resourceText("OTHER"), 1033, buildGroupIcon({old}, {7})));
    items.push_back(makeItem(RtGroupIcon, resourceId(2), 1033, buildGroupIcon({old}, {7})));
    items.push_back(makeItem(RtGroupIcon, resourceText("ALPHA"), 1033, buildGroupIcon({old}, {7})));
    Bytes body = makeTestPe(true, {{".rsrc", 0x1000, buildResourceTree(items, 0x1000), kTestData}}, 0);

    PackRequest request;
    request.replaceIcon = true;
    IconImage big{{32, 32, 0, 1, 32}, old.data};
    big.data.resize(80, 5);
    request.icon = {old, big};
    request.versionStrings.emplace_back(u"ProductName", u"Demo");
    Bytes out;
    std::vector<std::string> notes;
    std::string error;
    ASSERT_TRUE(packLauncher(body, request, &out, &notes, &error)) << error;
    LauncherContents c;
    ASSERT_TRUE(readLauncher(out, &c, &error)) << error;
    ASSERT_TRUE(c.hasIcon);
    ASSERT_EQ(c.icon.size(), 2u);
    EXPECT_EQ(c.icon[1].width, 32);
    EXPECT_NE(c.icon[0].id, 7);
    EXPECT_NE(c.icon[1].id, 7);
    ASSERT_NE(versionString(c.version, u"ProductName"), nullptr);  // a version resource was added
    EXPECT_EQ(*versionString(c.version, u"ProductName"), u"Demo");
    std::map<std::string, int> count;
    std::vector<std::string> groups;
    for (const ResourceSummary& r : c.resources) {
        ++count[r.type];
        if (r.type == "GROUP_ICON") groups.push_back(r.name);
    }
    EXPECT_EQ(count["ICON"], 3);  // two new images and the one the other groups still use
    EXPECT_EQ(count["MANIFEST"], 1);
    // Within a type, names come before ids and ascend.
    EXPECT_EQ(groups, (std::vector<std::string>{"\"ALPHA\"", "\"MAINICON\"", "\"OTHER\"", "2"}));
}

TEST(PackPe, BlockStringsDecodeOnlyWithinTheBlock) {
    Bytes block = encodeEntryBlock(u"abc");
    std::u16string text;
    ASSERT_TRUE(decodeBlockString(block.data(), block.size(), 0, &text));
    EXPECT_EQ(text, u"abc");
    EXPECT_EQ(encodeEntryBlock(u""), (Bytes{0, 0, 0, 0}));
    EXPECT_FALSE(decodeBlockString(block.data(), 5, 0, &text));   // count says 3, only 1.5 units follow
    EXPECT_FALSE(decodeBlockString(block.data(), block.size(), 2, &text));  // the slot is not present
    Bytes two = encodeEntryBlock(u"x");
    two.resize(4);  // slot 0 "x", slot 1 empty
    ASSERT_TRUE(decodeBlockString(two.data(), two.size(), 0, &text));
    EXPECT_EQ(text, u"x");
}

TEST(PackPe, ManifestLevelIsRewrittenOrAdded) {
    const std::pair<std::string, const char*> rows[] = {  // manifest, what else must stay (nullptr: refused)
        {"<assembly><x/><requestedExecutionLevel uiAccess='false' level = 'highestAvailable'/></assembly>", "uiAccess='false' level = '"},
        {"<assembly>\n  <x/>\n</assembly>", "<x/>"}, {"", "<assembly"}, {"<assembly><requestedExecutionLevel/>", nullptr},
        {"<assembly>", nullptr}};
    for (const auto& [manifest, kept] : rows) {
        Bytes out;
        std::string error;
        ASSERT_EQ(setManifestExecutionLevel(Bytes(manifest.begin(), manifest.end()), "requireAdministrator", &out, &error), kept != nullptr);
        if (kept) {
            EXPECT_EQ(manifestExecutionLevel(out), "requireAdministrator") << manifest;
            EXPECT_NE(std::string(out.begin(), out.end()).find(kept), std::string::npos) << manifest;
        }
    }
}

// A body without the DPI settings (an older one) gets them inside its windowsSettings, or in an application element of their own.
TEST(PackPe, ManifestDpiModeIsRewrittenOrAdded) {
    const std::pair<std::string, const char*> rows[] = {  // manifest, what else must stay (nullptr: refused)
        {"<assembly><application><windowsSettings><dpiAware>true/pm</dpiAware><dpiAwareness>PerMonitorV2</dpiAwareness><x/>", "</dpiAwareness><x/>"},
        {"<assembly><application><windowsSettings a='1'><dpiAwarenessX/></windowsSettings>", "<windowsSettings a='1'>\n      <dpiAware"},
        {"<assembly><x/></assembly>", "<x/>  <application"}, {"<assembly><dpiAware/></assembly>", nullptr}, {"<assembly>", nullptr}};
    for (const auto& [manifest, kept] : rows) {
        Bytes out;
        std::string error;
        ASSERT_EQ(setManifestDpiAwareness(Bytes(manifest.begin(), manifest.end()), "unaware", &out, &error), kept != nullptr) << manifest;
        for (const char* want : {kept, ">false</dpiAware>", ">Unaware</dpiAwareness>"})
            EXPECT_TRUE(!kept || std::string(out.begin(), out.end()).find(want) != std::string::npos) << want << " in " << manifest;
    }
}
