// invokeMainClass against the real JVM: attached from a second thread (thread name, no
// second redirection, detached afterwards whatever the outcome) and on the creating thread.
#include <gtest/gtest.h>

#include <thread>

#include "invoke/invoke.h"
#include "jni_test_jvm.h"
#include "core/config.h"
#include "core/state.h"

namespace {

struct AttachedOutcome {
    bool result = false;
    jint envAfter = JNI_OK;  // GetEnv on the calling thread once the invocation returned
};

AttachedOutcome invokeOnSecondThread(std::vector<const char*> arguments) {
    AttachedOutcome outcome;
    std::thread stopper([&] {
        outcome.result = invokeMainClass(static_cast<int>(arguments.size()),
                                         const_cast<char**>(arguments.data()), true);
        void* env = nullptr;
        outcome.envAfter = testJvm()->GetEnv(&env, JNI_VERSION_1_2);
    });
    stopper.join();
    return outcome;
}

class Invocation : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = makeTempDirectory();
        Config.MainClass = const_cast<char*>("varnlet/testapps/Recorder");
        Config.SystemOutFile = const_cast<char*>("");
        Config.SystemErrFile = const_cast<char*>("");
        Config.AppOptions = const_cast<char*>("");
        savedOut_ = javaStream(testEnv(), "out");
        savedErr_ = javaStream(testEnv(), "err");
    }
    void TearDown() override {
        setJavaStream(testEnv(), "out", savedOut_);
        setJavaStream(testEnv(), "err", savedErr_);
        testEnv()->DeleteGlobalRef(savedOut_);
        testEnv()->DeleteGlobalRef(savedErr_);
        Config.SystemOutFile = const_cast<char*>("");
        Config.SystemErrFile = const_cast<char*>("");
    }
    std::string dir_;
    jobject savedOut_ = nullptr;
    jobject savedErr_ = nullptr;
};

TEST_F(Invocation, AttachedRunsMainOnTheStopperThreadAndDetaches) {
    ReportCapture capture;
    AttachedOutcome outcome = invokeOnSecondThread({"stop", "now"});
    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(javaPropertyAscii(testEnv(), "recorder.thread"), "Varnlet stopper thread");
    EXPECT_EQ(javaPropertyAscii(testEnv(), "recorder.args"), "73746f70,6e6f77,");
    EXPECT_EQ(outcome.envAfter, JNI_EDETACHED);
    EXPECT_TRUE(capture.lines.empty());
}

TEST_F(Invocation, AttachedDoesNotReopenTheRedirectionFiles) {
    // The first invocation's files are still being written by the running application.
    std::string out = dir_ + "/out.log", err = dir_ + "/err.log";
    writeFile(out, "written by the running application\n");
    writeFile(err, "its error line\n");
    Config.SystemOutFile = const_cast<char*>(out.c_str());
    Config.SystemErrFile = const_cast<char*>(err.c_str());
    AttachedOutcome outcome = invokeOnSecondThread({"stop"});
    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(readFile(out), "written by the running application\n");
    EXPECT_EQ(readFile(err), "its error line\n");
}

TEST_F(Invocation, AttachedThatFailsStillDetaches) {
    ReportCapture capture;
    AttachedOutcome thrown = invokeOnSecondThread({"throw"});
    EXPECT_FALSE(thrown.result);
    EXPECT_EQ(thrown.envAfter, JNI_EDETACHED);
    ASSERT_FALSE(capture.lines.empty());
    EXPECT_EQ(capture.lines.back().text, "Error invoking method: main(java/lang/String[])");

    Config.MainClass = const_cast<char*>("varnlet/testapps/NoSuchClass");
    AttachedOutcome missing = invokeOnSecondThread({"stop"});
    EXPECT_FALSE(missing.result);
    EXPECT_EQ(missing.envAfter, JNI_EDETACHED);
    EXPECT_EQ(capture.lines.back().text, "Error locating class: varnlet/testapps/NoSuchClass");
}

TEST_F(Invocation, AttachedWithoutJvmReportsTheAttachFailure) {
    ReportCapture capture;
    JavaVM* saved = State.Jvm;
    State.Jvm = nullptr;
    bool result = true;
    std::thread stopper([&] { result = invokeMainClass(0, nullptr, true); });
    stopper.join();
    State.Jvm = saved;
    EXPECT_FALSE(result);
    ASSERT_EQ(capture.lines.size(), 1u);
    EXPECT_EQ(capture.lines[0].text, "Unable to attach thread to the JVM.");
}

TEST_F(Invocation, CreatingThreadRedirectsAndPassesTextsIntact) {
    std::string out = dir_ + "/same.log";
    writeFile(out, "stale\n");
    Config.SystemOutFile = const_cast<char*>(out.c_str());
    Config.SystemErrFile = const_cast<char*>(out.c_str());
    const char* arguments[] = {"caf\xC3\xA9", "\xF0\x9F\x8E\xBB", ""};
    EXPECT_TRUE(invokeMainClass(3, const_cast<char**>(arguments), false));
    EXPECT_EQ(javaPropertyAscii(testEnv(), "recorder.thread"), "main");
    EXPECT_EQ(javaPropertyAscii(testEnv(), "recorder.args"), "636166c3a9,f09f8ebb,,");
    // Both streams write to the one file through one stream: nothing written over, in order.
    EXPECT_EQ(readFile(out), "recorder-out\nrecorder-err\n");
}

TEST_F(Invocation, NoArgumentsTakesTheSplitAppOptions) {
    Config.AppOptions = const_cast<char*>("one  \"two three\"");
    EXPECT_TRUE(invokeMainClass(0, nullptr, false));
    EXPECT_EQ(javaPropertyAscii(testEnv(), "recorder.argc"), "3");
    EXPECT_EQ(javaPropertyAscii(testEnv(), "recorder.args"), "6f6e65,,74776f207468726565,");
}

}  // namespace
