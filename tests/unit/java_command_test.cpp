// A command-line tool's run: configured paths anchored beside the executable, the java
// command's option forms and argument files, and the launcher's properties.
#include <gtest/gtest.h>
#include <jni.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "core/config.h"
#include "core/state.h"
#include "core/working_directory.h"
#include "jvm/argument_files.h"
#include "jvm/java_option_forms.h"

namespace {

using Texts = std::vector<std::string>;

Texts errors(FakeWorld& w) {
    Texts texts;
    for (const ConsoleLine& l : w.console) texts.push_back(l.text);
    w.console.clear();
    return texts;
}

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
        State.DefaultInitArgsProc = reinterpret_cast<void*>(java17Defaults);
    }
    void TearDown() override { std::system(("rm -rf " + directory).c_str()); }
    FakePlatform platform{false};
    FakeWorld& w = platform.world();
    std::string directory;
};

TEST_F(JavaCommand, FormsFilesAndTheEnvironment) {
    makeFile(directory + "/bin/opts", "--add-exports\njava.base/x=ALL-UNNAMED @nested # not expanded again\n\"-Dq=a b\"\n");
    makeFile(directory + "/abs.txt", "-Dabs=1");
    w.environment["JDK_JAVA_OPTIONS"] = "-Denv=1 '-Denv=a b'";
    struct {
        Texts given, want;
        void* defaults;  // null: the files alone
    } rows[] = {
        {{"--add-opens", "A=B", "-p", "m", "--add-modules=x", "-Xmx1m", "--module-path", "--upgrade-module-path"},
         {"-Denv=1", "-Denv=a b", "--add-opens=A=B", "--module-path=m", "--add-modules=x", "-Xmx1m",
          "--module-path=--upgrade-module-path"}, reinterpret_cast<void*>(java17Defaults)},
        {{"-Dx", "@opts", "@@lit", "@" + directory + "/abs.txt", "@", "--disable-@files", "@opts"},
         {"-Dx", "--add-exports", "java.base/x=ALL-UNNAMED", "@nested", "-Dq=a b", "@lit", "-Dabs=1", "@", "@opts"}, nullptr},
        {{"@" + directory + "/abs.txt", "-p", "m"}, {"-Dabs=1", "--module-path=m"}, reinterpret_cast<void*>(java8Defaults)},
    };
    for (auto& row : rows) {
        State.DefaultInitArgsProc = row.defaults;
        Texts options = row.given;
        EXPECT_TRUE(row.defaults ? applyJavaCommandForms(&options) : expandArgumentFiles(&options)) << row.given[0];
        EXPECT_EQ(options, row.want);
        EXPECT_EQ(errors(w), Texts{});
    }
}

TEST_F(JavaCommand, OptionsOnlyTheJavaCommandTakesAreReported) {
    const std::pair<Texts, Texts> rows[] = {
        {{"-Xmx1m", "-cp", "lib", "-version", "-splash:s.png", "org.example.Main", "_hook"},
         {"-cp is an option of the java command, which a created JVM does not take: set ClassPath instead",
          "-version is an option of the java command, which a created JVM does not take",
          "-splash:s.png is an option of the java command, which a created JVM does not take",
          "org.example.Main is no JVM option (the java command would take it for the main class)"}},
        {{"-Xmx1m", "--add-opens"}, {"The java command's option --add-opens needs a value"}},
        {{"@missing"}, {"System text 2.\r\n", "Error accessing file/directory: " + directory + "/bin/missing"}},
    };
    for (const auto& [given, want] : rows) {
        Texts options = given;
        w.lastError = 2;  // what the real file read leaves for the fake's last error
        EXPECT_FALSE(applyJavaCommandForms(&options)) << given[0];
        EXPECT_EQ(errors(w), want);
    }
}

TEST_F(JavaCommand, LauncherPropertiesNameTheApplication) {
    Config.MainClass = const_cast<char*>("org/example/Tool");
    Config.AppOptions = const_cast<char*>("from \"app options\"");
    Config.ServiceStartOptions = const_cast<char*>("start");
    char* given[] = {const_cast<char*>("a b"), const_cast<char*>("c")};
    struct {
        int count;
        char** arguments;
        const char* command;
    } rows[] = {{2, given, "org.example.Tool a b c"}, {0, given, "org.example.Tool from app options"},
                {0, nullptr, "org.example.Tool start"}};
    for (const auto& row : rows) {
        State.MainArgumentCount = row.count;
        State.MainArguments = row.arguments;
        Texts properties;
        ASSERT_TRUE(launcherProperties(&properties));
        EXPECT_EQ(properties, (Texts{"-Dvarnlet.exe.path=" + directory + "/bin/tool", "-Dvarnlet.exe.dir=" + directory + "/bin",
                                     std::string("-Dsun.java.command=") + row.command}));
    }
}

// Relative paths of the configuration keep naming the files beside the executable.
TEST(AnchoredPaths, RelativeEntriesJoinTheExecutablesDirectory) {
    struct {
        bool windows;
        const char *directory, *classPath, *jvmPath, *outFile, *wantClassPath, *wantJvmPath, *wantOutFile;
    } rows[] = {
        {true, "C:\\app\\bin", "..\\lib;a.jar;;C:\\abs.jar;\\root.jar;\\\\server\\s.jar;%APP%\\x.jar;d:rel.jar;/fwd.jar",
         "jre\\bin\\server\\jvm.dll", "out.log",
         "C:\\app\\bin\\..\\lib;C:\\app\\bin\\a.jar;;C:\\abs.jar;C:\\root.jar;\\\\server\\s.jar;%APP%\\x.jar;d:rel.jar;C:/fwd.jar",
         "C:\\app\\bin\\jre\\bin\\server\\jvm.dll", "C:\\app\\bin\\out.log"},
        {true, "C:\\", "a.jar\nb.jar;c.jar", "", "", "C:\\a.jar\nC:\\b.jar;C:\\c.jar", "", ""},
        {false, "/opt/t/bin", "../lib;/usr/share/java/x.jar", "/usr/lib/jvm/l.so;jre/l.so", "/var/log/o",
         "/opt/t/bin/../lib;/usr/share/java/x.jar", "/usr/lib/jvm/l.so;/opt/t/bin/jre/l.so", "/var/log/o"},
    };
    for (const auto& row : rows) {
        FakePlatform platform(row.windows);
        resetLauncherRecords();
        loadConfiguration();
        for (auto [entry, text] : {std::pair{&Config.ClassPath, row.classPath}, {&Config.JvmPath, row.jvmPath},
                                   {&Config.SystemOutFile, row.outFile}, {&Config.SystemErrFile, row.outFile}}) {
            free(*entry);
            *entry = strdup(text);
        }
        anchorConfiguredPaths(row.directory);
        EXPECT_STREQ(Config.ClassPath, row.wantClassPath);
        EXPECT_STREQ(Config.JvmPath, row.wantJvmPath);
        EXPECT_STREQ(Config.SystemOutFile, row.wantOutFile);
        EXPECT_STREQ(Config.SystemErrFile, row.wantOutFile);
    }
}
