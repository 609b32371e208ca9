// The JNI side of a launch against a recording fake of the JVM library, for what a real JVM
// cannot act out; and the splitting of configured texts into arguments.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/writable_config.h"
#include "core/state.h"
#include "entries/text_encoding.h"
#include "fakes/fake_jvm.h"
#include "fakes/fake_platform.h"
#include "invoke/invoke.h"
#include "jvm/jni_utils.h"
#include "options/split.h"
#include "jvm/create_jvm.h"
#include "launcher/command_line.h"

namespace {

using Texts = std::vector<std::string>;

struct Invoke : ::testing::Test {
    void SetUp() override {
        w.strings[kEntryAppOptions] = "from options";
        w.strings[kEntryClassPath] = "";  // no class path to examine
        loadConfiguration();
        writableConfig().MainClass = "app/Main";
        State.Jvm = &jvm.vm;
        State.JniEnv = &jvm.env;
    }
    Texts consoleTexts() { return w.takeConsole(); }
    bool invoke(std::vector<const char*> arguments, bool attach = false) {
        return invokeMainClass(static_cast<int>(arguments.size()), const_cast<char**>(arguments.data()), attach);
    }
    FakePlatform platform;  // restores the library calls the fake JVM replaces
    FakeWorld& w = platform.world();
    FakeJvm jvm;
};

// JNI's own form of a NUL character, which must not end the text early.
TEST(ModifiedUtf8, NulIsTwoBytes) { EXPECT_EQ(toModifiedUtf8(std::u16string(u"a\0b", 3)), "a\xC0\x80" "b"); }

// The steps a real JVM can be made to fail (the output file, the main class, its method) are
// shown in the jvm tier.
TEST_F(Invoke, EveryFailingStepReportsOnceAndMainDoesNotRun) {
    const struct { const char* call; bool throws; const char* report; } rows[] = {  // throws, else the call returns null
        {"NewStringUTF:user.dir", true, "Error instantiating object: java/lang/String"},
        {"FindClass:java/lang/System", false, "Error locating class: java/lang/System"},
        {"CallStaticObjectMethod:java/lang/System.setProperty(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;", true,
         "Error invoking method: setProperty"},
        {"NewObjectArray:2", false, "Error instantiating object: java/lang/String[]"},
        {"NewStringUTF:second", false, "Error instantiating object: java/lang/String"},
        {"SetObjectArrayElement:1", true, "Error assigning string argument: second"},
    };
    writableConfig().SystemOutFile = "out.log";
    for (const auto& row : rows) {
        jvm.described = 0;
        jvm.throwOn.clear();
        jvm.nullOn.clear();
        (row.throws ? jvm.throwOn : jvm.nullOn).insert(row.call);
        EXPECT_FALSE(invoke({"first", "second"}));
        EXPECT_EQ(consoleTexts(), Texts{row.report}) << row.call;
        EXPECT_EQ(jvm.described, row.throws ? 1u : 0u) << row.call;
        EXPECT_FALSE(jvm.pending);
        EXPECT_EQ(jvm.count("CallStaticVoidMethod:app/Main.main"), 0u) << row.call;
    }
    w.currentDirectory = "C:\\" + std::string(kPathBufferSize + 40, 'd');  // refused, not cut
    jvm.calls.clear();
    EXPECT_FALSE(invoke({"x"}));
    EXPECT_EQ(consoleTexts().at(1), "Error accessing file/directory: CURRENT_DIR");
    EXPECT_TRUE(jvm.calls.empty());
}

TEST_F(Invoke, OneStreamForEverySpellingOfOneFile) {
    writableConfig().SystemOutFile = "logs\\app.log";
    for (const char* err : {"LOGS\\App.log", ".\\logs\\app.log", "C:\\start\\logs\\app.log", "\\start\\x\\..\\LOGS/App.log",
                            "logs\\err.log"}) {
        jvm.calls.clear();
        writableConfig().SystemErrFile = err;
        ASSERT_TRUE(invoke({"x"}));
        EXPECT_EQ(jvm.count("NewObject:java/io/FileOutputStream"), err[5] == 'e' ? 2u : 1u) << err;
        EXPECT_EQ(jvm.count("CallStaticVoidMethod:java/lang/System.setErr(Ljava/io/PrintStream;)V"), 1u);
    }
}

// The stopper thread (a service's stop): attached with a JNI version and its name, it
// neither changes directory nor redirects again, and it detaches whatever happens. A second
// main that succeeds runs on a real JVM in the jvm tier; System.exit never returns there.
TEST_F(Invoke, TheStopperAttachesAndDetachesOnce) {
    const struct { bool exit; const char* failing; jint attach; Texts report; } rows[] = {  // exit: requestJavaExit, else main attached
        {true, "", JNI_OK, {}}, {false, "", JNI_ERR, {"Unable to attach thread to the JVM."}},
        {true, "", JNI_EDETACHED, {"Unable to attach thread to the JVM."}},
        {false, "FindClass:app/Main", JNI_OK, {"Error locating class: app/Main"}},
        {false, "CallStaticVoidMethod:app/Main.main([Ljava/lang/String;)V", JNI_OK,
         {"Error invoking method: main(java/lang/String[])"}},
        {true, "CallStaticVoidMethod:java/lang/System.exit(I)V", JNI_OK, {"Error invoking method: exit(int)"}},
    };
    writableConfig().WorkingDir = "C:\\work";
    writableConfig().SystemOutFile = "out.log";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.failing);
        jvm.calls.clear();
        jvm.throwOn = {row.failing};
        jvm.attachResult = row.attach;
        EXPECT_EQ(row.exit ? requestJavaExit() : invoke({"stop"}, true), row.report.empty());
        EXPECT_EQ(consoleTexts(), row.report);
        EXPECT_EQ(jvm.attachVersion, JNI_VERSION_1_2);
        EXPECT_EQ(jvm.attachName, "Varnlet stopper thread");
        bool attached = row.attach == JNI_OK;
        EXPECT_EQ(jvm.calls.back(), attached ? "DetachCurrentThread" : "AttachCurrentThread");
        EXPECT_EQ(jvm.count("DetachCurrentThread"), attached ? 1u : 0u);
        EXPECT_EQ(jvm.count("NewStringUTF:from"), 0u);  // the stop arguments replace AppOptions
        EXPECT_EQ(jvm.count("NewObject:"), 0u);
    }
    EXPECT_TRUE(w.directoryChanges.empty());
}

// The service console: System.out and System.err on the console device, also when the
// process had a console already (a refused AllocConsole). Only log-off is handled, so the
// service survives it.
TEST_F(Invoke, ServiceConsoleCarriesBothStreams) {
    static int reopened;
    static ConsoleHandlerRoutine handler;
    reopened = 0;
    handler = nullptr;
    Platform.console.alloc = [] { return false; };  // the process had a console already
    Platform.console.setCtrlHandler = [](ConsoleHandlerRoutine h) { return handler = h, true; };
    Platform.console.reopenStdStreams = [] { return ++reopened, true; };
    Platform.traits.consoleDeviceName = "CONOUT$";
    w.strings[kEntryJvmPath] = "C:\\jdk\\jvm.dll";
    w.readableFiles.insert("C:\\jdk\\jvm.dll");
    loadConfiguration();
    ASSERT_TRUE(createJvm(true));
    EXPECT_EQ(handler, &consoleControlHandler);
    EXPECT_EQ(reopened, 1);
    EXPECT_EQ(jvm.count("NewStringUTF:CONOUT$"), 2u);
    EXPECT_EQ(jvm.count("CallStaticVoidMethod:java/lang/System.setOut(Ljava/io/PrintStream;)V"), 1u);
    EXPECT_EQ(jvm.count("CallStaticVoidMethod:java/lang/System.setErr(Ljava/io/PrintStream;)V"), 1u);
    EXPECT_TRUE(consoleControlHandler(ConsoleEvent::Logoff));
    for (ConsoleEvent other : {ConsoleEvent::Interrupt, ConsoleEvent::Break, ConsoleEvent::Close, ConsoleEvent::Shutdown})
        EXPECT_FALSE(consoleControlHandler(other)) << int(other);
}

// main's exception in a windowed launcher's box: the message, an empty line, the exception's
// text (cut visibly, between characters, to fit a box). On a console beside the stack trace: the message.
TEST_F(Invoke, MainsExceptionFollowsTheMessageInABox) {
    static Texts boxes;
    Platform.desktop.showMessageBox = [](const char*, const char* text, BoxKind) { return boxes.push_back(text), false; };
    jvm.throwOn.insert("CallStaticVoidMethod:app/Main.main([Ljava/lang/String;)V");
    std::string message = "Error invoking method: main(java/lang/String[])\n", thrown = jvm.thrownText, wide = "java.lang.Error: x";
    for (int i = 0; i < 600; ++i) wide += "\xC3\xA9";  // after 18 bytes: byte 1021 is the second of a character
    const struct { bool windowed; std::string thrown; Texts boxes, console; } rows[] = {
        {true, thrown, {message + "\n" + thrown}, {}}, {true, wide, {message + "\n" + wide.substr(0, 1020) + "..."}, {}},
        {false, thrown, {}, {message.substr(0, message.size() - 1)}}};
    for (const auto& row : rows) {
        boxes.clear();
        State.Windowed = row.windowed;
        jvm.thrownText = row.thrown;
        EXPECT_FALSE(invoke({"x"}));
        EXPECT_EQ(boxes, row.boxes);
        EXPECT_EQ(consoleTexts(), row.console);
    }
    State.Windowed = false;
}

TEST(JavaBinDirectory, TheLibrarysParentsParent) {
    const struct { bool windows; const char* path; const char* bin; size_t size = 260; } rows[] = {  // bin null: no folder
        {true, "C:\\jdk-17\\bin\\server\\jvm.dll", "C:\\jdk-17\\bin"}, {true, "C:/jdk/bin/server/jvm.dll", "C:/jdk/bin"},
        {true, "server\\jvm.dll", nullptr}, {true, "\\server\\jvm.dll", nullptr}, {true, "jvm.dll", nullptr},
        {false, "/usr/lib/jvm/java-17/lib/server/libjvm.so", "/usr/lib/jvm/java-17/lib"},
        {false, "dir\\sub\\libjvm.so", nullptr}, {true, "C:\\jdk-17\\bin\\server\\jvm.dll", nullptr, 8},  // too small
    };
    for (const auto& row : rows) {
        FakePlatform platform(row.windows);
        char buffer[260] = "unchanged";
        EXPECT_EQ(javaBinDirectory(row.path, buffer, row.size), row.bin != nullptr) << row.path;
        EXPECT_STREQ(row.bin ? buffer : nullptr, row.bin) << row.path;
    }
}

Texts split(const char* text) {
    int count = -1;
    char** vector = reinterpret_cast<char**>(1);  // freed below: it must be set, also to nothing
    EXPECT_TRUE(splitArguments(text, &count, &vector));
    Texts tokens(vector, vector + count);
    for (int i = 0; i < count; ++i) std::free(vector[i]);
    std::free(vector);
    return tokens;
}

TEST(SplitArguments, Table) {
    const struct { const char* text; Texts tokens; } rows[] = {
        // The documented examples.
        {nullptr, {}}, {"", {}}, {"   ", {""}}, {" ", {""}}, {"alpha beta", {"alpha", "beta"}},
        {"alpha  beta", {"alpha", "", "beta"}}, {"   alpha", {"alpha"}}, {"alpha  ", {"alpha", ""}},
        {"\"alpha beta\"", {"alpha beta"}}, {"al\"p h\"a", {"al\"p h\"a"}}, {"\"a\"b", {"a\""}},
        // Runs of spaces; a tab separates nothing.
        {"a   b", {"a", "", "", "b"}}, {"a b ", {"a", "b"}}, {"a   ", {"a", "", ""}}, {"a\tb c", {"a\tb", "c"}},
        // Open quotes run to the end of the text.
        {"ab \"cd ef", {"ab", "cd e"}}, {"ab c\"d ef", {"ab", "c\"d ef"}}, {"ab \"cd ef ", {"ab"}}, {"\"  ", {}},
        // Quotes at the edges.
        {"\"", {""}}, {"a \"", {"a", ""}}, {"\"\"", {""}}, {"a \"\" b", {"a", "", "b"}}, {"-Dx=\"y\"", {"-Dx=\"y\""}},
        {"  \"x y\" z", {"x y", "z"}},
        // The shapes the option builder produces.
        {" \"-Djava.class.path=vantoHelix.jar\"", {"-Djava.class.path=vantoHelix.jar"}},
        {"-Xmx256m  \"-Djava.class.path=a b.jar\"", {"-Xmx256m", "", "-Djava.class.path=a b.jar"}},
    };
    for (const auto& row : rows) EXPECT_EQ(split(row.text), row.tokens) << "[" << (row.text ? row.text : "(null)") << "]";
}

// A Windows command line split by the system's rules; a wildcard outside quotes is expanded in
// the folder it names (sorted, letter case ignored, a final ".*" matching names without one),
// one inside quotes never, as `java` leaves it.
TEST(CommandLine, SplitAndUnquotedWildcards) {
    FakePlatform platform;
    Platform.files.listDirectory = [](const char* directory, DirListing* listing) {
        std::string at = directory;
        Texts names = at == "." ? Texts{"b.txt", "A.TXT", "sub", "x.jar"} : at == "sub\\." ? Texts{"c.txt"} : Texts{};
        for (const std::string& name : names) listing->add(name.c_str(), name.size(), false);
        return names.empty() ? SystemError{ErrorKind::NotFound, 3} : kNoError;
    };
    const struct { std::u16string line; Texts arguments; } rows[] = {
        {u"app.exe a  \"b c\"\td", {"app.exe", "a", "b c", "d"}},
        {u"\"C:\\My Apps\\app.exe\" x ", {"C:\\My Apps\\app.exe", "x"}},
        {u"app \"a\"\"b\" a\"\"b \"\"\"\" x\"y z\"w \"\"", {"app", "a\"b", "ab", "\"", "xy zw", ""}},
        {u"app \"a b\\\" c \\\\\\\"d\" a\\\\b \"c\\\\\" \\\\\\\\\"e f\"", {"app", "a b\" c \\\"d", "a\\\\b", "c\\", "\\\\e f"}},
        {u"app * \"*\" *.txt \"sub\"\\*.T?T x?y \"a*\"* *.* nope\\* s\u00e9*", {"app", "A.TXT", "b.txt", "sub", "x.jar", "*", "A.TXT",
         "b.txt", "sub\\c.txt", "x?y", "a**", "A.TXT", "b.txt", "sub", "x.jar", "nope\\*", "s\xc3\xa9*"}},
    };
    for (const auto& row : rows) EXPECT_EQ(expandArguments(splitCommandLine(row.line)), row.arguments) << row.arguments.back();
}

}  // namespace
