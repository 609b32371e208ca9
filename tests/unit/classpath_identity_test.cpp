// Class path directories on file systems that give no real directory identity.
#include "options_fixture.h"

TEST_F(OptionsTest, DirectoriesWithoutRealIdentitiesAreAllWalked) {
    files.addFile("lib\\a\\one.jar");
    files.addFile("lib\\b\\c\\two.jar");
    files.addLink("lib\\b\\loop", "lib");
    for (uint64_t identity : {0u, 5u}) {  // none at all, or one for every directory
        for (auto& node : files.nodes) node.second.identity = identity;
        set("", "lib");
        std::string text = build();
        EXPECT_NE(text.find("=lib;lib\\a\\one.jar;lib\\b\\c\\two.jar"), std::string::npos) << text.substr(0, 80);
    }
    ASSERT_EQ(w.console.size(), 1u);  // the loop among unknown identities ends at the depth bound
    EXPECT_EQ(w.console[0].text.rfind("Error accessing file/directory: lib\\b\\loop\\b\\loop", 0), 0u);
}
