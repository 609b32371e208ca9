// Class path directories on file systems that give no real directory identity.
#include "options_fixture.h"

namespace {

TEST_F(OptionsTest, DirectoriesWithoutRealIdentitiesAreAllWalked) {
    files.addFile("lib\\a\\one.jar");
    files.addFile("lib\\b\\two.jar");
    files.addFile("lib\\b\\c\\three.jar");
    for (uint64_t identity : {0u, 5u}) {  // none at all, or one for every directory
        for (auto& node : files.nodes) node.second.identity = identity;
        set("", "lib");
        std::string text = build();
        for (const char* archive : {"one.jar", "two.jar", "three.jar"})
            EXPECT_NE(text.find(archive), std::string::npos) << archive << " with identity " << identity;
    }
}

TEST_F(OptionsTest, ALoopWithoutIdentitiesEndsWithAReport) {
    files.addFile("lib\\a.jar");
    files.addLink("lib\\loop", "lib");
    for (auto& node : files.nodes) node.second.identity = 0;
    set("", "lib");
    ASSERT_NE(build(), "<failed>");
    ASSERT_EQ(w.console.size(), 1u);
    EXPECT_EQ(w.console[0].text.rfind("Error accessing file/directory: lib\\loop\\loop", 0), 0u) << w.console[0].text;
}

}  // namespace
