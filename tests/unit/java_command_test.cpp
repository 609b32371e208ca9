// A command-line tool's run: configured paths anchored beside the executable, what the java
// command's option forms do where `java` cannot judge, and the launcher's properties.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "fakes/fake_platform.h"
#include "core/config.h"
#include "core/writable_config.h"
#include "core/state.h"
#include "core/working_directory.h"
#include "options/argument_files.h"
#include "options/java_option_forms.h"

using Texts = std::vector<std::string>;

struct JavaCommand : ::testing::Test {
    void SetUp() override {
        loadConfiguration();
        char dir[] = "/tmp/varnlet-cli-XXXXXX";
        directory = mkdtemp(dir);
        w.modulePath = directory + "/bin/tool";
    }
    void TearDown() override { std::system(("rm -rf " + directory).c_str()); }
    FakePlatform platform{false};
    FakeWorld& w = platform.world();
    std::string directory;
};

// What the differential suite of the jvm tier cannot show: a runtime older than Java 9, an
// empty option a run of blanks leaves, and the reports (every refused option's at once).
TEST_F(JavaCommand, OptionsAsTheJavaCommandTakesThem) {
    makeFile(directory + "/bin/big", std::string(kArgumentFileMax, ' ') + "-Dcut");
    const std::tuple<const char*, Texts, Texts, unsigned> rows[] = {  // JDK_JAVA_OPTIONS, given, received or reported, runtime
        {"-Denv=1", {"-Xmx1m", ""}, {"-Xmx1m"}, 8},
        {nullptr, {"@missing"}, {"System text 2.\r\n", "Error accessing file/directory: " + directory + "/bin/missing"}, 17},
        {nullptr, {"@big"}, {"Argument file " + directory + "/bin/big is longer than 1 MiB"}, 17},
        {nullptr, {"-Xmx1m", "--add-opens"}, {"The java command's option --add-opens needs a value"}, 17},
        {nullptr, {"-cp", "lib", "-version", "org.example.Main"},
         {"-cp is an option of the java command, which a created JVM does not take: set ClassPath instead",
          "-version is an option of the java command, which a created JVM does not take",
          "org.example.Main is no JVM option (the java command would take it for the main class)"}, 17},
    };
    for (const auto& [environment, given, want, runtime] : rows) {
        State.RuntimeFeature = runtime;
        if (environment) w.environment["JDK_JAVA_OPTIONS"] = environment;
        else w.environment.erase("JDK_JAVA_OPTIONS");
        w.lastError = {ErrorKind::NotFound, 2};  // what the real file read leaves for the fake's last error
        Texts options = given;
        bool taken = applyJavaCommandForms(&options);
        Texts reports = w.takeConsole();
        EXPECT_EQ(taken ? options : reports, want) << given[0];
        EXPECT_EQ(taken, reports.empty()) << given[0];
    }
}

TEST_F(JavaCommand, LauncherPropertiesNameTheApplication) {
    writableConfig().MainClass = "org/example/Tool";
    writableConfig().AppOptions = "from \"app options\"";
    writableConfig().ServiceStartOptions = "start";
    char* given[] = {const_cast<char*>("a b"), const_cast<char*>("c")};
    const std::tuple<int, char**, const char*> rows[] = {
        {2, given, "org.example.Tool a b c"}, {0, given, "org.example.Tool from app options"}, {0, nullptr, "org.example.Tool start"}};
    for (const auto& [count, arguments, command] : rows) {
        State.MainArgumentCount = count;
        State.MainArguments = arguments;
        Texts properties;
        ASSERT_TRUE(launcherProperties(&properties));
        EXPECT_EQ(properties, (Texts{"-Dvarnlet.exe.path=" + directory + "/bin/tool", "-Dvarnlet.exe.dir=" + directory + "/bin",
                                     std::string("-Dsun.java.command=") + command}));
    }
}

// Relative paths of the configuration keep naming the files beside the executable: every
// path entry and every entry of a path list.
TEST(AnchoredPaths, RelativeEntriesJoinTheExecutablesDirectory) {
    const std::tuple<bool, const char*, const char*, const char*, const char*> rows[] = {  // Windows, directory, list, anchored, o.log
        {true, "C:\\app\\bin", "..\\lib;a.jar;;C:\\abs.jar;\\root.jar;\\\\server\\s.jar;%APP%\\x.jar;d:rel.jar;/fwd.jar",
         "C:\\app\\bin\\..\\lib;C:\\app\\bin\\a.jar;;C:\\abs.jar;C:\\root.jar;\\\\server\\s.jar;%APP%\\x.jar;d:rel.jar;C:/fwd.jar",
         "C:\\app\\bin\\o.log"},
        {true, "C:\\", "a.jar;c.jar", "C:\\a.jar;C:\\c.jar", "C:\\o.log"},
        {false, "/opt/t/bin", "../lib;/usr/share/java/x.jar;jre/l.so", "/opt/t/bin/../lib;/usr/share/java/x.jar;/opt/t/bin/jre/l.so",
         "/opt/t/bin/o.log"},
    };
    for (const auto& [windows, directory, list, want, log] : rows) {
        FakePlatform platform(windows);
        loadConfiguration();
        LauncherConfig& c = writableConfig();
        c.ClassPath = c.JvmPath = c.ModulePath = strdup(list);
        c.SystemOutFile = c.SystemErrFile = c.MainJar = c.SplashImage = c.ClassDataCacheDir = strdup("o.log");
        anchorConfiguredPaths(directory);
        for (const char* got : {Config.ClassPath, Config.JvmPath, Config.ModulePath}) EXPECT_STREQ(got, want);
        for (const char* got : {Config.SystemOutFile, Config.SystemErrFile, Config.MainJar, Config.SplashImage,
                                Config.ClassDataCacheDir})
            EXPECT_STREQ(got, log);
    }
}
