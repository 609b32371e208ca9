// A command-line tool's run: configured paths anchored beside the executable, the java
// command's option forms and argument files, and the launcher's properties.
#include <gtest/gtest.h>
#include <jni.h>

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
#include "jvm/argument_files.h"
#include "jvm/java_option_forms.h"

namespace {

using Texts = std::vector<std::string>;

jint JNICALL java8Defaults(void* args) { return static_cast<JavaVMInitArgs*>(args)->version <= JNI_VERSION_1_8 ? JNI_OK : JNI_EVERSION; }
jint JNICALL java17Defaults(void* args) { return static_cast<JavaVMInitArgs*>(args)->version <= 0x00110000 ? JNI_OK : JNI_EVERSION; }

}  // namespace

// Files written by the java command's rules, and what `java @file` gave for them.
TEST(ArgumentFiles, TheJavaCommandsRules) {
    const std::pair<const char*, Texts> rows[] = {
        {"-Dx=a#b -Dy=1\n# comment\n\"-Dq=one two\" -Dz='a\\tb' -Dw=\"c\\\\d\" -Dv=e\\\\f\n-Dc=\"cont\\\n    inued\"\n",
         {"-Dq=one two", "-Dz=a\tb", "-Dw=c\\d", "-Dv=e\\\\f", "-Dc=continued"}},
        {"-Da=\"x\"y -Db=\\\"q\\\" \"-Dc=tab\\there\"", {"-Da=xy", "-Db=\\q\" -Dc=tab\\there"}},
        {"\"a\r\nb\" '' \"it's\"\t\f-p\r\nmods", {"a", "b '' its\"\t\f-p", "mods"}},
        {"  \t\r\n# only a comment", {}},
        {"\"\" last", {"", "last"}},
    };
    for (const auto& [text, want] : rows) EXPECT_EQ(splitArgumentFileText(text), want) << text;
}

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

// Each row gives the options the JVM receives or, when they are refused, the reports.
TEST_F(JavaCommand, OptionsAsTheJavaCommandTakesThem) {
    makeFile(directory + "/bin/opts", "--add-exports\njava.base/x=ALL-UNNAMED @nested # not expanded again\n\"-Dq=a b\"\n");
    makeFile(directory + "/abs.txt", "-Dabs=1");
    makeFile(directory + "/bin/big", std::string(kArgumentFileMax, ' ') + "-Dcut");
    w.environment["JDK_JAVA_OPTIONS"] = "-Denv=1 '-Denv=a b'";
    void* java17 = reinterpret_cast<void*>(java17Defaults);
    const std::tuple<Texts, Texts, void*> rows[] = {  // given, received or reported, the runtime (null: files alone)
        {{"--add-opens", "A=B", "-p", "m", "--add-modules=x", "-Xmx1m", "--module-path", "--upgrade-module-path"},
         {"-Denv=1", "-Denv=a b", "--add-opens=A=B", "--module-path=m", "--add-modules=x", "-Xmx1m",
          "--module-path=--upgrade-module-path"}, java17},
        {{"-Dx", "@opts", "@@lit", "@" + directory + "/abs.txt", "@", "--disable-@files", "@opts"},
         {"-Dx", "--add-exports", "java.base/x=ALL-UNNAMED", "@nested", "-Dq=a b", "@lit", "-Dabs=1", "@", "@opts"}, nullptr},
        {{"@" + directory + "/abs.txt", "-p", "m"}, {"-Dabs=1", "--module-path=m"}, reinterpret_cast<void*>(java8Defaults)},
        {{"-Xmx1m", "-cp", "lib", "-version", "-splash:s.png", "org.example.Main", "_hook"},
         {"-cp is an option of the java command, which a created JVM does not take: set ClassPath instead",
          "-version is an option of the java command, which a created JVM does not take",
          "-splash:s.png is an option of the java command, which a created JVM does not take",
          "org.example.Main is no JVM option (the java command would take it for the main class)"}, java17},
        {{"-Xmx1m", "--add-opens"}, {"The java command's option --add-opens needs a value"}, java17},
        {{"@missing"}, {"System text 2.\r\n", "Error accessing file/directory: " + directory + "/bin/missing"}, java17},
        {{"@big"}, {"Argument file " + directory + "/bin/big is longer than 1 MiB"}, java17},
    };
    for (const auto& [given, want, runtime] : rows) {
        State.DefaultInitArgsProc = runtime;
        w.lastError = {ErrorKind::NotFound, 2};  // what the real file read leaves for the fake's last error
        Texts options = given;
        bool taken = runtime ? applyJavaCommandForms(&options) : expandArgumentFiles(&options);
        Texts reports;
        for (const ConsoleLine& line : w.console) reports.push_back(line.text);
        w.console.clear();
        EXPECT_EQ(taken ? options : reports, want) << given[0];
        EXPECT_EQ(taken, reports.empty()) << given[0];
    }
}

TEST_F(JavaCommand, LauncherPropertiesNameTheApplication) {
    writableConfig().MainClass = const_cast<char*>("org/example/Tool");
    writableConfig().AppOptions = const_cast<char*>("from \"app options\"");
    writableConfig().ServiceStartOptions = const_cast<char*>("start");
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
