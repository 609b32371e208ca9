// The JVM options on real Linux directories (the POSIX backend lists them): class path
// entries, directories expanded into their archives in name order, links, failures, %NAME%
// references.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>
#include <unistd.h>

#include "core/config.h"
#include "core/writable_config.h"
#include "core/state.h"
#include "fakes/fake_platform.h"
#include "options/name_order.h"
#include "options/options.h"

namespace {

// Directories named "locked" cannot be listed, nor can "moved" ones (an errno whose number is
// an "end of listing" code elsewhere); files named "locked.jar" are not examined.
SystemError lockedListing(const char* directory, DirListing* listing) {
    bool locked = std::strstr(directory, "locked"), moved = std::strstr(directory, "moved");
    if (!locked && !moved) return defaultPlatformOps().files.listDirectory(directory, listing);
    errno = locked ? EACCES : EXDEV;
    return Platform.errors.last();
}
FileKind lockedAttributes(const char* path) {
    if (std::strstr(path, "locked.jar") == nullptr) return defaultPlatformOps().files.kind(path);
    errno = EACCES;
    return FileKind::Missing;
}

struct ClassPath : ::testing::Test {
    FakePlatform platform{false};
    FakeWorld& w = platform.world();
    std::string root, previous, javaHome;

    void SetUp() override {
        // Real errors and their texts; reports still go to the fake console.
        const PlatformOps& d = defaultPlatformOps();
        Platform.errors.last = d.errors.last;
        Platform.errors.set = d.errors.set;
        Platform.errors.text = d.errors.text;
        Platform.files.listDirectory = lockedListing;
        Platform.files.kind = lockedAttributes;
        loadConfiguration();
        char pattern[] = "/tmp/varnlet-classpath-XXXXXX", cwd[4096];
        ASSERT_TRUE(mkdtemp(pattern) && getcwd(cwd, sizeof cwd));
        root = pattern;
        previous = cwd;
        ASSERT_EQ(chdir(root.c_str()), 0);
    }
    void TearDown() override {
        EXPECT_EQ(chdir(previous.c_str()), 0);
        EXPECT_EQ(std::system(("rm -rf '" + root + "'").c_str()), 0);
    }
    std::string build(const std::string& options, const std::string& classPath) {
        writableConfig().JvmOptions = strdup(options.c_str());
        writableConfig().ClassPath = strdup(classPath.c_str());
        // What the JVM receives: the options, shown between '|'.
        std::vector<std::string> list;
        if (!buildJvmOptions({"", javaHome}, &list)) return "<failed>";
        std::string given;
        for (size_t i = 0; i < list.size(); ++i) given += (i ? "|" : "") + list[i];
        return given;
    }
    std::vector<std::string> reports() { return w.takeConsole("", "(not an error) "); }
};

TEST_F(ClassPath, OptionTexts) {
    for (const char* f : {"a.jar", "b.jar", "z.jar", "lib/a.jar", "lib/b.ZIP", "lib/B.jar", "lib/notes.txt",
                          "lib/ext/c.jar", "lib/jar", "lib/.jar", "lib/a.jarx", "lib/b.zip.bak", "lib/dir.jar/inner.zip",
                          "empty/", "mixed/locked/x.jar", "mixed/moved/y.jar", "mixed/a.jar", "mixed/z.jar", "links/a.jar", "links/sub/b.jar",
                          "pct/a%b.jar", "pct/my%20lib.jar", "pct/ok.jar"})
        makeFile(f);
    // Links leading back are walked once; a link to an archive is an archive.
    const char* links[][2] = {{"..", "links/sub/up"}, {"../links", "links/self"}, {"sub/b.jar", "links/l.jar"}};
    for (auto& link : links) ASSERT_EQ(symlink(link[0], link[1]), 0);
    w.environment = {{"APPDIR", root}, {"JAVA_HOME", "/somewhere/else"}, {"DEF", "def"}, {"EMPTY", ""}, {"SPACED", "a  b"}};
    javaHome = "/opt/jdk";
    const std::string cp = "-Djava.class.path=";
    struct Row { std::string options, classPath, text; size_t reports; } rows[] = {
        {"", "lib", cp + "lib:lib/.jar:lib/B.jar:lib/a.jar:lib/b.ZIP:lib/dir.jar/inner.zip:lib/ext/c.jar", 0},
        {"-Xmx256m", "z.jar;lib/ext;a.jar", "-Xmx256m|" + cp + "z.jar:lib/ext:lib/ext/c.jar:a.jar", 0},
        {"", "lib/ext/", cp + "lib/ext/:lib/ext/c.jar", 0},
        {"", "%APPDIR%/lib", cp + root + "/lib", 0},  // neither examined nor listed
        {"", ";a.jar;;b.jar;", cp + "a.jar:b.jar", 0},
        {"-Xss1m", ";;;", "-Xss1m", 0}, {"-Xss1m", "", "-Xss1m", 0}, {"", "", "", 0}, {"   ", "a.jar", cp + "a.jar", 0},
        {"", "empty", cp + "empty", 0}, {"-Xmx256m ", "a.jar", "-Xmx256m|" + cp + "a.jar", 0},
        {"-Dh=%JAVA_HOME% -Dx=%NOSUCH%end", "a.jar;%JAVA_HOME%/lib/tools.jar",
         "-Dh=/opt/jdk|-Dx=end|" + cp + "a.jar:/opt/jdk/lib/tools.jar", 0},
        // References adjacent, empty, unset, of another case, unclosed (kept without its '%').
        {"-Dx=%DEF%%DEF%,%EMPTY%,x%%y,%java_home%,abc%DEF", "", "-Dx=defdef,,xy,,abcDEF", 0},
        {"", "links", cp + "links:links/a.jar:links/l.jar:links/sub/b.jar", 0},
        // Each listing that fails is reported; the rest of the class path is kept.
        {"", "mixed", cp + "mixed:mixed/a.jar:mixed/z.jar", 2},
        // Names found on disk are data, and the executable's folder is known by name; a value
        // with blanks stays within its option, and a quote inside an option stays.
        {"-Dd=%VARNLET_EXE_DIR%/.. -Ds=%SPACED% \"-Dq=%SPACED%\" -Dr=\"%SPACED%\"", "pct",
         "-Dd=" + root + "/pct/..|-Ds=a  b|-Dq=a  b|-Dr=\"a  b\"|" + cp + "pct:pct/a%b.jar:pct/my%20lib.jar:pct/ok.jar", 0},
        // Today's rules: what opens no defined reference stays, %% is one %, entries are scanned.
        {"+-XX:ErrorFile=hs_err_%p.log \"-XX:OnError=kill %p\" -Dx=%DEF%%DEF%,%EMPTY%,x%%y,%NOSUCH%,%p_%DEF%,a%DEF",
         "%APPDIR%/lib/ext;%VARNLET_EXE_DIR%",
         "-XX:ErrorFile=hs_err_%p.log|-XX:OnError=kill %p|-Dx=defdef,,x%y,%NOSUCH%,%p_def,a%DEF|" + cp + root +
             "/lib/ext:" + root + "/lib/ext/c.jar:" + root + "/pct:" + root + "/pct/a%b.jar:" + root + "/pct/my%20lib.jar:" +
             root + "/pct/ok.jar", 0},
        {"+", "a.jar;%NOSUCH%/b.jar", "<failed>", 2},
        // Options whose own quotes leave a value's blank outside or stay open pass whole, the class path after them.
        {"-Dq=\"x\"%SPACED% -Dp=\"x", "a.jar", "-Dq=\"x\"a  b|-Dp=\"x|" + cp + "a.jar", 0},
    };
    w.modulePath = root + "/pct/launcher";
    for (const Row& row : rows) {
        writableConfig().ModernReferences = row.options[0] == '+';
        EXPECT_EQ(build(row.options.substr(Config.ModernReferences), row.classPath), row.text) << "[" << row.classPath << "]";
        EXPECT_EQ(reports().size(), row.reports) << "[" << row.classPath << "]";
    }
    writableConfig().ModernReferences = false;
    javaHome = "";
    EXPECT_EQ(build("-Dhome=%JAVA_HOME%", ""), "-Dhome=");
}

TEST_F(ClassPath, AnEntryThatCannotBeExaminedFailsTheBuildAndChangesNothing) {
    for (const char* f : {"a.jar", "b.jar", "locked.jar"}) makeFile(f);
    EXPECT_EQ(build("-Xmx1g", "a.jar;missing.jar;b.jar"), "<failed>");
    EXPECT_STREQ(Config.JvmOptions, "-Xmx1g");
    EXPECT_EQ(reports(), (std::vector<std::string>{std::string(strerror(ENOENT)) + ".\n",
                                                   "Error accessing file/directory: missing.jar"}));
    EXPECT_EQ(build("", "locked.jar"), "<failed>");
    EXPECT_EQ(reports(), (std::vector<std::string>{std::string(strerror(EACCES)) + ".\n",
                                                   "Error accessing file/directory: locked.jar"}));
    // Only the first entry may end at a line break; the next one starts with it.
    EXPECT_EQ(build("", "a.jar\r\nb.jar"), "<failed>");
    EXPECT_EQ(reports().at(1), "Error accessing file/directory: \nb.jar");
}

// Name order of a directory's entries: the radix path for large directories must give
// exactly the order of a plain comparison of the names (folded text first where case is
// ignored, then the bytes), in both case modes.
std::vector<std::string> sorted(const std::vector<std::string>& names, bool caseInsensitive) {
    DirListing listing;
    NameOrder order;
    for (uint32_t i = 0; i < names.size(); ++i) {
        listing.add(names[i].data(), names[i].size(), false);
        order.order.push_back(i);
    }
    sortNames(listing, caseInsensitive, &order);
    std::vector<std::string> out;
    for (uint32_t index : order.order) out.push_back(listing.name(listing.entries[index]));
    return out;
}

std::string folded(std::string s) {
    for (char& c : s) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
    return s;
}

std::vector<std::string> expected(std::vector<std::string> names, bool caseInsensitive) {
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        return caseInsensitive && folded(a) != folded(b) ? folded(a) < folded(b) : a < b;
    });
    return names;
}

// Distinct names built to stress the key: a shared prefix (often longer than eight bytes),
// endings inside and beyond the key, case variants (also as case twins), bytes above 0x7F.
TEST(NameOrder, AgreesWithPlainComparisonForSmallAndLargeDirectories) {
    static const char kAlphabet[] = "aAbBzZ09-._\xC3\xA9\x7F";
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> tailLength(0, 14), pick(0, sizeof kAlphabet - 2), variant(0, 3);
    for (bool caseInsensitive : {false, true}) {
        for (size_t count : {2u, 3u, 63u, 64u, 65u, 300u, 2000u}) {
            for (int round = 0; round < 4; ++round) {
                const std::string prefix = variant(random) == 0 ? "" : "library-component-";
                std::vector<std::string> names;
                // One directory holds distinct names, but where case matters some differ only in it.
                std::set<std::string> seen;
                while (names.size() < count) {
                    std::string name = prefix;
                    for (int i = tailLength(random); i > 0; --i) name += kAlphabet[pick(random)];
                    if (variant(random) == 0) name += ".jar";
                    if (!name.empty() && seen.insert(name).second) names.push_back(name);
                }
                EXPECT_EQ(sorted(names, caseInsensitive), expected(names, caseInsensitive))
                    << "count " << count << ", case-insensitive " << caseInsensitive << ", round " << round;
            }
        }
    }
}

// File systems that give every directory the same identity (0 from some network redirectors
// and FUSE file systems, or one repeated): every archive is still found.
uint64_t fakeIdentity;
SystemError sameIdentityListing(const char* directory, DirListing* listing) {
    SystemError rc = defaultPlatformOps().files.listDirectory(directory, listing);
    listing->identity = DirIdentity{fakeIdentity, fakeIdentity};
    return rc;
}

TEST_F(ClassPath, DirectoriesWithoutRealIdentitiesAreAllWalked) {
    for (const char* f : {"lib/a/one.jar", "lib/b/c/two.jar"}) makeFile(f);
    ASSERT_EQ(symlink("..", "lib/b/loop"), 0);
    Platform.files.listDirectory = sameIdentityListing;
    for (uint64_t identity : {0u, 5u}) {
        fakeIdentity = identity;
        std::string text = build("", "lib");
        EXPECT_NE(text.find("=lib:lib/a/one.jar:lib/b/c/two.jar"), std::string::npos) << text.substr(0, 80);
        // Without any identity the loop ends at the depth bound, with one report; a repeated
        // identity on a listing of the same names is the same directory, walked once.
        std::vector<std::string> lines = reports();
        ASSERT_EQ(lines.size(), identity == 0 ? 1u : 0u) << identity;
        if (identity == 0) {
            EXPECT_EQ(lines[0].rfind("Error accessing file/directory: lib/b/loop/b/loop", 0), 0u);
        }
    }
}

}  // namespace
