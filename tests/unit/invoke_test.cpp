// invokeMainClass and the JNI helpers against the fake JNI: the message of every failing
// step (and that main then does not run), one stream for one log file however it is
// spelled, the stopper's attach request and detaching, and texts from the code page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_jni.h"
#include "fakes/fake_platform.h"
#include "invoke/invoke.h"
#include "invoke/jni_utils.h"
#include "core/config.h"
#include "core/text_encoding.h"
#include "core/state.h"

namespace {

using Texts = std::vector<std::string>;
const char* const kMain = "app/Main.main([Ljava/lang/String;)V";

class Invoke : public ::testing::Test {
protected:
    void SetUp() override {
        loadDefaultStrings(platform_.world());
        platform_.world().strings[1184] = "from options";
        platform_.world().enterableDirectories.insert("C:\\work");
        loadConfiguration();
        Config.MainClass = const_cast<char*>("app/Main");
        State.Jvm = jni_.vm();
        State.JniEnv = jni_.env();
    }
    Texts consoleTexts() {
        Texts texts;
        for (const ConsoleLine& l : platform_.world().console) texts.push_back(l.text);
        return texts;
    }
    bool invoke(std::vector<const char*> arguments, bool attach = false) {
        return invokeMainClass(static_cast<int>(arguments.size()), const_cast<char**>(arguments.data()), attach);
    }
    bool mainRan() { return jni_.lastStaticVoidMethod == kMain; }
    FakePlatform platform_;
    FakeJni jni_;
};

TEST_F(Invoke, TextsCrossIntoJavaAsModifiedUtf8) {
    // A Windows-1252 code page: 0xE9 is U+00E9 and 0x80 is the euro sign U+20AC.
    Platform.decodeCodePage = [](const char* text, std::u16string* out) {
        out->clear();
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
            out->push_back(*p == 0x80 ? u'\u20AC' : static_cast<char16_t>(*p));
    };
    platform_.world().enterableDirectories.insert("C:\\caf\xE9");
    Config.WorkingDir = const_cast<char*>("C:\\caf\xE9");
    Config.MainClass = const_cast<char*>("app/Caf\xE9");
    ASSERT_TRUE(invoke({"caf\xE9", "\x80 5"}));
    EXPECT_TRUE(jni_.called("NewStringUTF:C:\\caf\xC3\xA9"));
    EXPECT_TRUE(jni_.called("FindClass:app/Caf\xC3\xA9"));
    EXPECT_EQ(jni_.lastCallArguments, (Texts{"caf\xC3\xA9", "\xE2\x82\xAC 5"}));
    // JNI's own form of a NUL character, which must not end the text early.
    EXPECT_EQ(toModifiedUtf8(std::u16string(u"a\0b", 3)), "a\xC0\x80" "b");
}

TEST_F(Invoke, EveryFailingStepReportsOnceAndMainDoesNotRun) {
    struct Row {
        const char* call;
        bool throws;  // else the call returns null
        const char* report;
    } rows[] = {
        {"NewStringUTF:user.dir", true, "Error instantiating object: java/lang/String"},
        {"FindClass:java/lang/System", false, "Error locating class: java/lang/System"},
        {"CallStaticObjectMethod:java/lang/System.setProperty(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;", true,
         "Error invoking method: setProperty"},
        {"NewObject:java/io/FileOutputStream", true, "Error instantiating object: java/io/FileOutputStream"},
        {"FindClass:app/Main", true, "Error locating class: app/Main"},
        {"FindClass:app/Main", false, "Error locating class: app/Main"},
        {"GetStaticMethodID:app/Main.main([Ljava/lang/String;)V", true, "Error locating method: main(java/lang/String[])"},
        {"GetStaticMethodID:app/Main.main([Ljava/lang/String;)V", false, "Error locating method: main(java/lang/String[])"},
        {"NewObjectArray:2", false, "Error instantiating object: java/lang/String[]"},
        {"NewStringUTF:second", false, "Error instantiating object: java/lang/String"},
        {"SetObjectArrayElement:1", true, "Error assigning string argument: second"},
        {"CallStaticVoidMethod:app/Main.main([Ljava/lang/String;)V", true, "Error invoking method: main(java/lang/String[])"},
    };
    Config.SystemOutFile = const_cast<char*>("out.log");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.call);
        platform_.world().console.clear();
        jni_.described = 0;
        jni_.lastStaticVoidMethod.clear();
        jni_.throwOn.clear();
        jni_.nullOn.clear();
        (row.throws ? jni_.throwOn : jni_.nullOn).insert(row.call);
        EXPECT_FALSE(invoke({"first", "second"}));
        EXPECT_EQ(consoleTexts(), Texts{row.report});
        EXPECT_EQ(jni_.described, row.throws ? 1u : 0u);
        EXPECT_FALSE(jni_.pending);
        EXPECT_EQ(mainRan(), row.call == "CallStaticVoidMethod:" + std::string(kMain));
    }
}

TEST_F(Invoke, CurrentDirectoryTooLongIsRefusedNotCut) {
    platform_.world().currentDirectory = "C:\\" + std::string(kPathBufferSize + 40, 'd');
    EXPECT_FALSE(invoke({"x"}));
    ASSERT_EQ(consoleTexts().size(), 2u);
    EXPECT_EQ(consoleTexts()[1], "Error accessing file/directory: CURRENT_DIR");
    EXPECT_TRUE(jni_.calls.empty());
}

TEST_F(Invoke, OneStreamForEverySpellingOfOneFile) {
    struct Row {
        const char* err;
        size_t streams;
    } rows[] = {{"LOGS\\App.log", 1}, {".\\logs\\app.log", 1}, {"C:\\start\\logs\\app.log", 1},
                {"\\start\\x\\..\\LOGS/App.log", 1}, {"logs\\err.log", 2}};
    Config.SystemOutFile = const_cast<char*>("logs\\app.log");
    for (const Row& row : rows) {
        jni_.calls.clear();
        Config.SystemErrFile = const_cast<char*>(row.err);
        ASSERT_TRUE(invoke({"x"}));
        EXPECT_EQ(jni_.countCalls("NewObject:java/io/FileOutputStream"), row.streams) << row.err;
        EXPECT_TRUE(jni_.called("CallStaticVoidMethod:java/lang/System.setErr(Ljava/io/PrintStream;)V"));
    }
}

// The stopper thread (a service's stop): attached with a JNI version and its name, it
// neither changes directory nor redirects again, and it detaches whatever happens.
TEST_F(Invoke, TheStopperAttachesAndDetachesOnce) {
    struct Row {
        bool exit;  // requestJavaExit, else invokeMainClass attached
        const char* failing;
        jint attach;
        Texts report;
    } rows[] = {
        {false, "", JNI_OK, {}},
        {true, "", JNI_OK, {}},
        {false, "", JNI_ERR, {"Unable to attach thread to the JVM."}},
        {true, "", JNI_EDETACHED, {"Unable to attach thread to the JVM."}},
        {false, "FindClass:app/Main", JNI_OK, {"Error locating class: app/Main"}},
        {false, "CallStaticVoidMethod:app/Main.main([Ljava/lang/String;)V", JNI_OK,
         {"Error invoking method: main(java/lang/String[])"}},
        {true, "CallStaticVoidMethod:java/lang/System.exit(I)V", JNI_OK, {"Error invoking method: exit(int)"}},
    };
    Config.WorkingDir = const_cast<char*>("C:\\work");
    Config.SystemOutFile = const_cast<char*>("out.log");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.failing);
        platform_.world().console.clear();
        jni_.calls.clear();
        jni_.throwOn = {row.failing};
        jni_.attachResult = row.attach;
        EXPECT_EQ(row.exit ? requestJavaExit() : invoke({"stop"}, true), row.report.empty());
        EXPECT_EQ(consoleTexts(), row.report);
        EXPECT_EQ(jni_.attachVersion, JNI_VERSION_1_2);
        EXPECT_EQ(jni_.attachName, "Varnlet stopper thread");
        bool attached = row.attach == JNI_OK;
        EXPECT_EQ(jni_.calls.size() == 1, !attached);
        EXPECT_EQ(jni_.countCalls("DetachCurrentThread"), attached ? 1u : 0u);
        EXPECT_EQ(jni_.calls.back() == "DetachCurrentThread", attached);
        EXPECT_TRUE(!row.report.empty() || row.exit || jni_.lastCallArguments == Texts{"stop"});
        EXPECT_EQ(jni_.countCalls("NewObject:"), 0u);
    }
    EXPECT_TRUE(platform_.world().directoryChanges.empty());
}

}  // namespace
