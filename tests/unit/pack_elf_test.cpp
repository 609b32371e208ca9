// varnlet-pack's Linux side: the ELF section lookup on malformed files and the in-place
// rewrite of the configuration section.
#include <gtest/gtest.h>

#include "elf_section.h"
#include "entry_block.h"
#include "launcher_file.h"
#include "pack/test_images.h"
#include "platform/config_section.h"

namespace {

Bytes defaultSection(size_t size = 4096) {
    std::vector<ConfigRecord> records{{1024, encodeEntryBlock(u"0x00010003")}, {1072, encodeEntryBlock(u"vantoHelix.jar")},
                                      {1999, encodeEntryBlock(u"kept")}};
    Bytes image;
    std::string error;
    EXPECT_TRUE(buildConfigSection(records, size, &image, &error)) << error;
    return image;
}

}  // namespace

TEST(PackElf, EntriesThatDoNotFitAreRefused) {
    Bytes body = makeTestElf(VARNLET_CONFIG_SECTION_NAME, defaultSection(256));
    PackRequest request;
    request.entries[1184] = std::u16string(200, u'a');
    Bytes out;
    std::vector<std::string> notes;
    std::string error;
    EXPECT_FALSE(packLauncher(body, request, &out, &notes, &error));
    EXPECT_NE(error.find("more than the 256 bytes"), std::string::npos) << error;
    EXPECT_TRUE(out.empty());
}

TEST(PackElf, MalformedFilesAreRefused) {
    Bytes good = makeTestElf(VARNLET_CONFIG_SECTION_NAME, defaultSection());
    size_t offset = 0, size = 0;
    std::string error;
    for (size_t n = 0; n < 64; n += 3) EXPECT_FALSE(findElfSection(Bytes(good.begin(), good.begin() + n), ".x", &offset, &size, &error));
    const size_t shoff = rd32(&good[40]);
    const struct {
        size_t at;  // where `value` is written (0: nothing, the last 10 bytes are cut)
        uint32_t value;
        const char* error;
    } rows[] = {{0, 0, "section table lies outside the file"},
                {shoff + 64 + 24, 0x7FFFFFF0, "lies outside the file"},  // the configuration section's offset
                {shoff + 64, 0xFFFFFFF0, "has no .varnlet_config section"},  // a name beyond the name table
                {shoff + rd16(&good[62]) * 64 + 4, 8, "section name table"}};  // names without contents in the file
    for (const auto& row : rows) {
        Bytes b = row.at ? good : Bytes(good.begin(), good.end() - 10);
        if (row.at) wr32(&b[row.at], row.value);
        EXPECT_FALSE(findElfSection(b, VARNLET_CONFIG_SECTION_NAME, &offset, &size, &error));
        EXPECT_NE(error.find(row.error), std::string::npos) << row.error << ": " << error;
    }
    Bytes other = makeTestElf(".data", defaultSection());
    LauncherContents c;
    EXPECT_FALSE(readLauncher(other, &c, &error));
    EXPECT_NE(error.find("not a varnlet launcher"), std::string::npos);
}

TEST(PackElf, MalformedSectionRecordsAreRefused) {
    Bytes s = defaultSection(128);
    std::vector<ConfigRecord> records;
    std::string error;
    ASSERT_TRUE(parseConfigSection(s.data(), s.size(), &records, &error));
    EXPECT_EQ(records.size(), 3u);
    Bytes badMagic = s;
    badMagic[3] ^= 1;
    EXPECT_FALSE(parseConfigSection(badMagic.data(), badMagic.size(), &records, &error));
    Bytes longRecord = s;
    wr16(&longRecord[kConfigSectionHeaderSize + 2], 0xFFF0);
    EXPECT_FALSE(parseConfigSection(longRecord.data(), longRecord.size(), &records, &error));
    EXPECT_NE(error.find("runs past its end"), std::string::npos);
    Bytes noEnd(s.begin(), s.begin() + 60);
    EXPECT_FALSE(parseConfigSection(noEnd.data(), noEnd.size(), &records, &error));
}
