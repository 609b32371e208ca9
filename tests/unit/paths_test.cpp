// Path rules of both systems from one table, and the executable's directory taken with them
// (also as %VARNLET_EXE_DIR% names it).
#include "core/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/state.h"
#include "core/working_directory.h"
#include "fakes/fake_platform.h"
#include "options/environment_references.h"

const PathStyle kWindows{'\\', ';', true}, kPosix{'/', ':', false};  // a const's linkage is internal

TEST(Paths, RootParentNameAndJoinUnderEitherSystem) {
    // parent null: none; joined: the path joined to "x".
    const struct { const PathStyle& style; const char* path; size_t root; const char *parent, *name, *joined; } rows[] = {
        {kWindows, "C:\\app\\bin\\tool.exe", 3, "C:\\app\\bin", "tool.exe", "C:\\app\\bin\\tool.exe\\x"},
        {kWindows, "C:/app/bin/", 3, "C:/app", "", "C:/app/bin/x"},
        {kWindows, "C:\\tool.exe", 3, "C:\\", "tool.exe", "C:\\tool.exe\\x"},
        {kWindows, "C:tool.exe", 2, "C:", "tool.exe", "C:tool.exe\\x"},
        {kWindows, "\\\\server\\share\\a.jar", 14, "\\\\server\\share", "a.jar", "\\\\server\\share\\a.jar\\x"},
        {kWindows, "\\\\server\\share", 14, nullptr, "", "\\\\server\\share\\x"},
        {kWindows, "/lib", 1, "/", "lib", "/lib\\x"},
        {kWindows, "lib\\\\a.jar", 0, "lib", "a.jar", "lib\\\\a.jar\\x"},
        {kWindows, "a.jar", 0, nullptr, "a.jar", "a.jar\\x"},
        {kPosix, "/opt/app/bin/tool", 1, "/opt/app/bin", "tool", "/opt/app/bin/tool/x"},
        {kPosix, "/tool", 1, "/", "tool", "/tool/x"},
        {kPosix, "/", 1, nullptr, "", "/x"},
        {kPosix, "C:lib\\a.jar", 0, nullptr, "C:lib\\a.jar", "C:lib\\a.jar/x"},
    };
    for (const auto& row : rows) {
        std::string parent;
        EXPECT_EQ(pathRootLength(row.style, row.path), row.root) << row.path;
        EXPECT_EQ(parentPath(row.style, row.path, &parent) ? parent : "(none)", row.parent ? row.parent : "(none)") << row.path;
        EXPECT_EQ(pathFileName(row.style, row.path), row.name) << row.path;
        EXPECT_EQ(joinPath(row.style, row.path, "x"), row.joined) << row.path;
    }
}

// Windows takes '/' in the module path as it takes '\'. At a root the separator stays ("C:"
// alone is the drive's current directory), and one written after the reference makes no second.
TEST(Paths, TheExecutablesDirectory) {
    // directory null: none; referenced: %VARNLET_EXE_DIR%/x and %JAVA_HOME%\x, the home a root.
    const struct { bool windows; const char *module, *directory, *referenced; } rows[] = {
        {true, "C:\\apps\\demo\\varnlet.exe", "C:\\apps\\demo", "C:\\apps\\demo/x D:\\x"},
        {true, "C:/apps/demo/varnlet.exe", "C:/apps/demo", "C:/apps/demo/x D:\\x"},
        {true, "C:\\varnlet.exe", "C:\\", "C:/x D:\\x"},
        {false, "/opt/demo/varnlet", "/opt/demo", "/opt/demo/x /\\x"},
        {false, "/varnlet", "/", "/x /\\x"},
        {false, "varnlet", nullptr, "/x /\\x"},
    };
    for (const auto& row : rows) {
        FakePlatform platform(row.windows);
        platform.world().modulePath = row.module;
        char directory[kPathBufferSize];
        bool found = executableDirectory(directory, sizeof directory);
        EXPECT_EQ(found, row.directory != nullptr) << row.module;
        EXPECT_STREQ(found ? directory : nullptr, row.directory) << row.module;
        char* referenced = expandEnvironmentReferences("%VARNLET_EXE_DIR%/x %JAVA_HOME%\\x", row.windows ? "D:\\" : "/");
        EXPECT_STREQ(referenced, row.referenced) << row.module;
        free(referenced);
    }
}
