// Directory expansion: sorting, archive names, links that lead back, listing failures,
// the Linux separators, and the growth of the text buffer.
#include <cstdint>

#include "options_fixture.h"

namespace {

std::string archives(const char* directory) {
    TextBuffer list{nullptr, 0, 0};
    std::string copy = directory;
    appendDirectoryArchives(&list, &copy[0]);
    std::string out = list.text ? list.text : "";
    releaseText(&list);
    return out;
}

TEST_F(OptionsTest, NamesAreSortedWithoutCaseOnWindows) {
    files.addFile("lib\\zeta.jar");
    files.addFile("lib\\Beta.jar");
    files.addFile("lib\\alpha.JAR");
    files.addFile("lib\\mid\\x.zip");
    EXPECT_EQ(archives("lib"), "lib\\alpha.JAR;lib\\Beta.jar;lib\\mid\\x.zip;lib\\zeta.jar;");
}

TEST_F(OptionsTest, ArchiveNamesAndDirectoriesThatLookLikeArchives) {
    files.addFile("lib\\jar");
    files.addFile("lib\\.jar");
    files.addFile("lib\\a.jarx");
    files.addFile("lib\\b.zip.bak");
    files.addFile("lib\\dir.jar\\inner.zip");
    EXPECT_EQ(archives("lib"), "lib\\.jar;lib\\dir.jar\\inner.zip;");
}

TEST_F(OptionsTest, LinkBackIntoTheTreeIsWalkedOnce) {
    files.addFile("lib\\a.jar");
    files.addFile("lib\\sub\\b.jar");
    files.addLink("lib\\sub\\loop", "lib");
    files.addLink("lib\\again", "lib\\sub");
    EXPECT_EQ(archives("lib"), "lib\\a.jar;lib\\again\\b.jar;");
}

TEST_F(OptionsTest, MissingOrEmptyListingIsNoFailure) {
    files.addDirectory("lib\\gone");
    files.node("lib\\gone").listError = kErrorFileNotFound;
    files.addFile("lib\\z.jar");
    TextBuffer list{nullptr, 0, 0};
    char dir[] = "lib";
    EXPECT_EQ(appendDirectoryArchives(&list, dir), 1);
    EXPECT_STREQ(list.text, "lib\\z.jar;");
    EXPECT_TRUE(w.console.empty());
    releaseText(&list);
}

TEST_F(OptionsTest, FailedListingIsReportedAndKeepsWhatWasFound) {
    files.addFile("lib\\a.jar");
    files.addFile("lib\\b.jar");
    files.addFile("lib\\c.jar");
    files.node("lib").listError = kErrorAccessDenied;
    files.node("lib").listErrorAfter = 2;
    TextBuffer list{nullptr, 0, 0};
    char dir[] = "lib";
    EXPECT_EQ(appendDirectoryArchives(&list, dir), 0);
    EXPECT_STREQ(list.text, "lib\\a.jar;lib\\b.jar;");
    ASSERT_EQ(w.console.size(), 1u);
    EXPECT_EQ(w.console[0].text, "System text 5.\r\n");
    releaseText(&list);
}

TEST_F(OptionsTest, FailedSubdirectoryListingStillBuildsTheClassPath) {
    files.addFile("lib\\a.jar");
    files.addFile("lib\\locked\\x.jar");
    files.addFile("lib\\z.jar");
    files.node("lib\\locked").listError = kErrorAccessDenied;
    set("", "lib");
    EXPECT_EQ(build(), " \"-Djava.class.path=lib;lib\\a.jar;lib\\z.jar\"");
    ASSERT_EQ(w.console.size(), 1u);
}

struct LinuxOptionsTest : OptionsTest {
    LinuxOptionsTest() : OptionsTest(false) {}
};

TEST_F(LinuxOptionsTest, ColonsBetweenEntriesAndOrdinalOrder) {
    files.addFile("a.jar");
    files.addFile("lib/b.jar");
    files.addFile("lib/B.jar");
    files.addFile("lib/sub/c.zip");
    set("-Xmx64m", "a.jar;lib/");
    EXPECT_EQ(build(), "-Xmx64m \"-Djava.class.path=a.jar:lib/:lib/B.jar:lib/b.jar:lib/sub/c.zip\"");
}

TEST(TextBuffer, GrowsOnceAndKeepsTheInvariant) {
    TextBuffer b{nullptr, 0, 0};
    EXPECT_TRUE(appendText(&b, nullptr));
    EXPECT_TRUE(appendText(&b, ""));
    EXPECT_EQ(b.text, nullptr);
    EXPECT_TRUE(appendText(&b, "abc"));
    EXPECT_EQ(b.capacity, 1024u);
    EXPECT_EQ(b.length, 3u);
    std::string big(600, 'x');
    EXPECT_TRUE(appendText(&b, big.c_str()));  // fits: no growth
    EXPECT_EQ(b.capacity, 1024u);
    EXPECT_TRUE(appendText(&b, big.c_str()));  // 1203 > 1023: one step of 4 x 600
    EXPECT_EQ(b.capacity, 1024u + 2400u);
    EXPECT_EQ(b.length, 1203u);
    EXPECT_EQ(std::string(b.text), "abc" + big + big);
    std::string huge(5000, 'y');
    size_t before = b.capacity;
    EXPECT_TRUE(appendText(&b, huge.c_str()));
    EXPECT_GE(b.capacity, before + 4 * huge.size());
    EXPECT_LE(b.length + 1, b.capacity);
    releaseText(&b);
}

TEST(TextBuffer, FirstLargePieceGetsFourTimesItsLength) {
    TextBuffer b{nullptr, 0, 0};
    std::string piece(2000, 'p');
    EXPECT_TRUE(appendText(&b, piece.c_str()));
    EXPECT_EQ(b.capacity, 8000u);
    releaseText(&b);
}

TEST(TextBuffer, ReservedRoomIsWrittenWithoutMovingTheText) {
    TextBuffer b{nullptr, 0, 0};
    EXPECT_TRUE(reserveText(&b, 0));
    EXPECT_EQ(b.text, nullptr);
    EXPECT_TRUE(appendText(&b, "head;"));
    EXPECT_TRUE(reserveText(&b, 100000));
    const char* text = b.text;
    size_t capacity = b.capacity;
    EXPECT_GE(capacity, 5u + 100000u + 1u);
    EXPECT_EQ(b.length, 5u);
    EXPECT_STREQ(b.text, "head;");  // reserving writes nothing
    for (int i = 0; i < 10000; ++i) EXPECT_TRUE(appendText(&b, "0123456789"));
    EXPECT_EQ(b.text, text);
    EXPECT_EQ(b.capacity, capacity);
    EXPECT_EQ(b.length, 100005u);
    EXPECT_TRUE(reserveText(&b, capacity - 1 - b.length));  // exactly what is left: no growth
    EXPECT_EQ(b.capacity, capacity);
    releaseText(&b);
}

TEST(TextBuffer, ImpossibleReservationChangesNothing) {
    TextBuffer b{nullptr, 0, 0};
    EXPECT_FALSE(reserveText(&b, SIZE_MAX / 2));
    EXPECT_EQ(b.text, nullptr);
    EXPECT_TRUE(appendText(&b, "kept"));
    size_t capacity = b.capacity;
    EXPECT_FALSE(reserveText(&b, SIZE_MAX - 8));
    EXPECT_STREQ(b.text, "kept");
    EXPECT_EQ(b.capacity, capacity);
    releaseText(&b);
}

TEST(TextBuffer, ManySmallAppendsGrowGeometrically) {
    TextBuffer b{nullptr, 0, 0};
    int growths = 0;
    size_t capacity = 0;
    for (int i = 0; i < 100000; ++i) {
        appendText(&b, "C:\\lib\\archive.jar;");
        if (b.capacity != capacity) ++growths;
        capacity = b.capacity;
    }
    EXPECT_EQ(b.length, 100000u * 19u);
    EXPECT_LT(growths, 20);
    releaseText(&b);
}

}  // namespace
