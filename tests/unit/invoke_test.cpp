// invokeMainClass and the JNI helpers against the fake JNI: the order of the steps, the
// message of every failing step (and that main then does not run), the attach request,
// detaching after attached failures, and texts converted from the code page.
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
    std::vector<std::string> consoleTexts() {
        std::vector<std::string> texts;
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

TEST_F(Invoke, NoArgumentsTakeAppOptionsAndAnEmptyTextGivesNone) {
    ASSERT_TRUE(invoke({}));
    EXPECT_EQ(jni_.lastCallArguments, (std::vector<std::string>{"from", "options"}));
    Config.AppOptions = const_cast<char*>("");
    ASSERT_TRUE(invoke({}));
    EXPECT_TRUE(mainRan());
    EXPECT_TRUE(jni_.lastCallArguments.empty());
    EXPECT_TRUE(jni_.called("NewObjectArray:0"));
}

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
    EXPECT_EQ(jni_.lastCallArguments, (std::vector<std::string>{"caf\xC3\xA9", "\xE2\x82\xAC 5"}));
    // JNI's own form of a NUL character, which must not end the text early.
    EXPECT_EQ(toModifiedUtf8(std::u16string(u"a\0b", 3)), "a\xC0\x80" "b");
}

struct StepFailure {
    const char* call;
    bool throws;  // else the call returns null
    const char* report;
};

TEST_F(Invoke, EveryFailingStepReportsOnceAndMainDoesNotRun) {
    const StepFailure rows[] = {
        {"NewStringUTF:user.dir", true, "Error instantiating object: java/lang/String"},
        {"FindClass:java/lang/System", false, "Error locating class: java/lang/System"},
        {"CallStaticObjectMethod:java/lang/System.setProperty(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;", true,
         "Error invoking method: setProperty"},
        {"FindClass:app/Main", true, "Error locating class: app/Main"},
        {"FindClass:app/Main", false, "Error locating class: app/Main"},
        {"GetStaticMethodID:app/Main.main([Ljava/lang/String;)V", true, "Error locating method: main(java/lang/String[])"},
        {"GetStaticMethodID:app/Main.main([Ljava/lang/String;)V", false, "Error locating method: main(java/lang/String[])"},
        {"NewObjectArray:2", false, "Error instantiating object: java/lang/String[]"},
        {"NewStringUTF:second", false, "Error instantiating object: java/lang/String"},
        {"SetObjectArrayElement:1", true, "Error assigning string argument: second"},
    };
    for (const StepFailure& row : rows) {
        SCOPED_TRACE(row.call);
        platform_.world().console.clear();
        jni_.calls.clear();
        jni_.described.clear();
        jni_.lastStaticVoidMethod.clear();
        jni_.throwOn.clear();
        jni_.nullOn.clear();
        (row.throws ? jni_.throwOn : jni_.nullOn).insert(row.call);
        EXPECT_FALSE(invoke({"first", "second"}));
        EXPECT_EQ(consoleTexts(), (std::vector<std::string>{row.report}));
        EXPECT_EQ(jni_.described.size(), row.throws ? 1u : 0u);
        EXPECT_FALSE(jni_.pending);
        EXPECT_FALSE(mainRan());
    }
}

TEST_F(Invoke, MainThrowingIsDescribedAndReported) {
    jni_.throwOn.insert(std::string("CallStaticVoidMethod:") + kMain);
    EXPECT_FALSE(invoke({"x"}));
    EXPECT_TRUE(mainRan());
    EXPECT_EQ(jni_.described.size(), 1u);
    EXPECT_EQ(consoleTexts(), (std::vector<std::string>{"Error invoking method: main(java/lang/String[])"}));
}

TEST_F(Invoke, CurrentDirectoryTooLongIsRefusedNotCut) {
    platform_.world().currentDirectory = "C:\\" + std::string(kPathBufferSize + 40, 'd');
    EXPECT_FALSE(invoke({"x"}));
    ASSERT_EQ(consoleTexts().size(), 2u);
    EXPECT_EQ(consoleTexts()[1], "Error accessing file/directory: CURRENT_DIR");
    EXPECT_TRUE(jni_.calls.empty());
}

TEST_F(Invoke, RedirectionOnTheCreatingThreadOneStreamForOneFile) {
    Config.SystemOutFile = const_cast<char*>("logs\\app.log");
    Config.SystemErrFile = const_cast<char*>("LOGS\\App.log");  // the same file on Windows
    ASSERT_TRUE(invoke({"x"}));
    EXPECT_EQ(jni_.countCalls("NewObject:java/io/FileOutputStream"), 1u);
    EXPECT_TRUE(jni_.called("NewStringUTF:logs\\app.log"));
    EXPECT_TRUE(jni_.called("GetStaticFieldID:java/lang/System.out"));
    EXPECT_TRUE(jni_.called("CallStaticVoidMethod:java/lang/System.setErr(Ljava/io/PrintStream;)V"));

    jni_.calls.clear();
    Config.SystemErrFile = const_cast<char*>("logs\\err.log");
    ASSERT_TRUE(invoke({"x"}));
    EXPECT_EQ(jni_.countCalls("NewObject:java/io/FileOutputStream"), 2u);
    EXPECT_FALSE(jni_.called("GetStaticFieldID:java/lang/System.out"));
}

TEST_F(Invoke, OneStreamForEverySpellingOfOneFile) {
    Config.SystemOutFile = const_cast<char*>("logs\\app.log");
    for (const char* other : {".\\logs\\app.log", "C:\\start\\logs\\app.log", "\\start\\x\\..\\LOGS/App.log"}) {
        jni_.calls.clear();
        Config.SystemErrFile = const_cast<char*>(other);
        ASSERT_TRUE(invoke({"x"}));
        EXPECT_EQ(jni_.countCalls("NewObject:java/io/FileOutputStream"), 1u) << other;
    }
}

TEST_F(Invoke, RedirectionFailureStopsBeforeTheClassIsLookedUp) {
    Config.SystemOutFile = const_cast<char*>("missing\\out.log");
    jni_.throwOn.insert("NewObject:java/io/FileOutputStream");
    EXPECT_FALSE(invoke({"x"}));
    EXPECT_EQ(consoleTexts(), (std::vector<std::string>{"Error instantiating object: java/io/FileOutputStream"}));
    EXPECT_FALSE(jni_.called("FindClass:app/Main"));
}

TEST_F(Invoke, AttachedRequestCarriesAJniVersionAndTheStopperName) {
    Config.WorkingDir = const_cast<char*>("C:\\work");
    Config.SystemOutFile = const_cast<char*>("out.log");
    ASSERT_TRUE(invoke({"stop"}, true));
    EXPECT_EQ(jni_.attachVersion, JNI_VERSION_1_2);
    EXPECT_EQ(jni_.attachName, "Varnlet stopper thread");
    EXPECT_TRUE(jni_.attachGroupNull);
    // No directory change and no second redirection; detached at the end.
    EXPECT_TRUE(platform_.world().directoryChanges.empty());
    EXPECT_EQ(jni_.countCalls("NewObject:"), 0u);
    EXPECT_EQ(jni_.calls.front(), "AttachCurrentThread");
    EXPECT_EQ(jni_.calls.back(), "DetachCurrentThread");
}

TEST_F(Invoke, AttachRefusedMakesNoOtherCall) {
    jni_.attachResult = JNI_ERR;
    EXPECT_FALSE(invoke({"stop"}, true));
    EXPECT_EQ(jni_.calls, (std::vector<std::string>{"AttachCurrentThread"}));
    EXPECT_EQ(consoleTexts(), (std::vector<std::string>{"Unable to attach thread to the JVM."}));
}

TEST_F(Invoke, AttachedFailuresDetachToo) {
    for (const char* call : {"FindClass:app/Main", "CallStaticVoidMethod:app/Main.main([Ljava/lang/String;)V"}) {
        jni_.calls.clear();
        jni_.throwOn = {call};
        EXPECT_FALSE(invoke({"stop"}, true)) << call;
        EXPECT_EQ(jni_.calls.back(), "DetachCurrentThread") << call;
        EXPECT_EQ(jni_.countCalls("DetachCurrentThread"), 1u);
    }
}

TEST_F(Invoke, ExitRequest) {
    ASSERT_TRUE(requestJavaExit());
    EXPECT_EQ(jni_.attachName, "Varnlet stopper thread");
    EXPECT_TRUE(jni_.called("CallStaticVoidMethod:java/lang/System.exit(I)V"));
    EXPECT_EQ(jni_.calls.back(), "DetachCurrentThread");

    jni_.calls.clear();
    jni_.throwOn = {"CallStaticVoidMethod:java/lang/System.exit(I)V"};
    EXPECT_FALSE(requestJavaExit());
    EXPECT_EQ(consoleTexts(), (std::vector<std::string>{"Error invoking method: exit(int)"}));
    EXPECT_EQ(jni_.calls.back(), "DetachCurrentThread");

    jni_.calls.clear();
    platform_.world().console.clear();
    jni_.attachResult = JNI_EDETACHED;
    EXPECT_FALSE(requestJavaExit());
    EXPECT_EQ(jni_.calls, (std::vector<std::string>{"AttachCurrentThread"}));
    EXPECT_EQ(consoleTexts(), (std::vector<std::string>{"Unable to attach thread to the JVM."}));
}

}  // namespace
