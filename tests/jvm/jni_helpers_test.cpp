// The JNI helpers against the real JVM: the exception check, System.setProperty, stream
// redirection (emptying an existing file; a missing directory) and the exit request.
#include <gtest/gtest.h>

#include <thread>

#include "invoke/jni_utils.h"
#include "jni_test_jvm.h"
#include "core/state.h"

namespace {

// Points System.err at a file of its own for one test and puts the old stream back.
class JavaErrToFile {
public:
    explicit JavaErrToFile(const std::string& path) : env_(testEnv()), saved_(javaStream(env_, "err")) {
        jclass fileStream = env_->FindClass("java/io/FileOutputStream");
        jobject file = env_->NewObject(fileStream, env_->GetMethodID(fileStream, "<init>", "(Ljava/lang/String;)V"),
                                       env_->NewStringUTF(path.c_str()));
        jclass printStream = env_->FindClass("java/io/PrintStream");
        jobject print = env_->NewObject(printStream, env_->GetMethodID(printStream, "<init>", "(Ljava/io/OutputStream;Z)V"),
                                        file, JNI_TRUE);
        setJavaStream(env_, "err", print);
    }
    ~JavaErrToFile() {
        setJavaStream(env_, "err", saved_);
        env_->DeleteGlobalRef(saved_);
    }

private:
    JNIEnv* env_;
    jobject saved_;
};

void throwPending(JNIEnv* env, const char* text) {
    env->ThrowNew(env->FindClass("java/lang/IllegalStateException"), text);
}

TEST(CheckJavaException, WithoutPendingExceptionWritesNothingAndSaysNo) {
    std::string dir = makeTempDirectory();
    std::string err = dir + "/err.txt";
    JavaErrToFile redirect(err);
    EXPECT_FALSE(checkJavaException(testEnv()));
    EXPECT_EQ(readFile(err), "");
}

TEST(CheckJavaException, PendingExceptionIsDescribedAndCleared) {
    std::string dir = makeTempDirectory();
    std::string err = dir + "/err.txt";
    JavaErrToFile redirect(err);
    throwPending(testEnv(), "pending for the check");
    EXPECT_TRUE(checkJavaException(testEnv()));
    EXPECT_FALSE(testEnv()->ExceptionCheck());
    EXPECT_NE(readFile(err).find("java.lang.IllegalStateException: pending for the check"), std::string::npos)
        << readFile(err);
    // Cleared means a second check finds nothing.
    EXPECT_FALSE(checkJavaException(testEnv()));
}

TEST(SetSystemProperty, UserDirAndTextsBeyondAscii) {
    ReportCapture capture;
    ASSERT_TRUE(setSystemProperty(testEnv(), "user.dir", "/srv/apps/demo"));
    EXPECT_EQ(javaPropertyAscii(testEnv(), "user.dir"), "/srv/apps/demo");
    // UTF-8 bytes (the Linux code page) arrive as the characters they encode, a character
    // beyond the 16-bit range included; a raw hand-over would give the JVM malformed input.
    ASSERT_TRUE(setSystemProperty(testEnv(), "varnlet.test.text", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x98\x83 \xF0\x9D\x84\x9E"));
    EXPECT_EQ(javaProperty(testEnv(), "varnlet.test.text"), u"Gr\u00FC\u00DFe \u2603 \U0001D11E");
    EXPECT_TRUE(capture.lines.empty());
}

class RedirectJavaStream : public ::testing::Test {
protected:
    void SetUp() override { savedOut_ = javaStream(testEnv(), "out"); }
    void TearDown() override {
        setJavaStream(testEnv(), "out", savedOut_);
        testEnv()->DeleteGlobalRef(savedOut_);
    }
    bool stillOriginalOut() {
        jobject now = javaStream(testEnv(), "out");
        bool same = testEnv()->IsSameObject(now, savedOut_);
        testEnv()->DeleteGlobalRef(now);
        return same;
    }
    jobject savedOut_ = nullptr;
};

TEST_F(RedirectJavaStream, ExistingFileIsEmptiedAndReceivesTheStream) {
    std::string dir = makeTempDirectory();
    std::string out = dir + "/out.txt";
    writeFile(out, "old content that must go\nand its second line\n");
    ReportCapture capture;
    ASSERT_TRUE(redirectJavaStream(testEnv(), out.c_str(), "setOut"));
    EXPECT_EQ(readFile(out), "");
    javaPrintln(testEnv(), "out", "after the redirection");
    javaPrintln(testEnv(), "out", "second line");
    EXPECT_EQ(readFile(out), "after the redirection\nsecond line\n");
    EXPECT_TRUE(capture.lines.empty());
}

TEST_F(RedirectJavaStream, FileNameBeyondAsciiIsTheFileCreated) {
    std::string dir = makeTempDirectory();
    std::string out = dir + "/\xC3\xA9t\xC3\xA9-\xE2\x98\x83.log";
    ASSERT_TRUE(redirectJavaStream(testEnv(), out.c_str(), "setOut"));
    javaPrintln(testEnv(), "out", "named in UTF-8");
    EXPECT_EQ(readFile(out), "named in UTF-8\n");
}

TEST_F(RedirectJavaStream, MissingDirectoryReportsAfterTheStackTraceAndKeepsTheOldStream) {
    std::string dir = makeTempDirectory();
    std::string err = dir + "/err.txt";
    JavaErrToFile redirect(err);
    ReportCapture capture;
    capture.watchFile = err;
    EXPECT_FALSE(redirectJavaStream(testEnv(), (dir + "/no-such-dir/out.txt").c_str(), "setOut"));
    ASSERT_EQ(capture.lines.size(), 1u);
    EXPECT_TRUE(capture.lines[0].toError);
    EXPECT_EQ(capture.lines[0].text, "Error instantiating object: java/io/FileOutputStream");
    // The runtime's exception was described before the report was written.
    EXPECT_NE(capture.lines[0].errFileAtReport.find("java.io.FileNotFoundException"), std::string::npos)
        << capture.lines[0].errFileAtReport;
    EXPECT_FALSE(testEnv()->ExceptionCheck());
    EXPECT_TRUE(stillOriginalOut());
}

TEST_F(RedirectJavaStream, UnknownSetterIsReportedByName) {
    std::string dir = makeTempDirectory();
    JavaErrToFile redirect(dir + "/err.txt");
    ReportCapture capture;
    EXPECT_FALSE(redirectJavaStream(testEnv(), (dir + "/out.txt").c_str(), "setNowhere"));
    ASSERT_EQ(capture.lines.size(), 1u);
    EXPECT_EQ(capture.lines[0].text, "Error locating method: setNowhere");
    EXPECT_TRUE(stillOriginalOut());
}

TEST(RequestJavaExit, WithoutJvmReportsTheAttachFailure) {
    ReportCapture capture;
    JavaVM* saved = State.Jvm;
    State.Jvm = nullptr;
    EXPECT_FALSE(requestJavaExit());
    State.Jvm = saved;
    ASSERT_EQ(capture.lines.size(), 1u);
    EXPECT_EQ(capture.lines[0].text, "Unable to attach thread to the JVM.");
}

TEST(RequestJavaExitDeathTest, EndsTheProcessWithStatusZeroFromAnotherThread) {
    // The request runs on a thread of its own, as the service's stopper thread does, while
    // this thread stays inside the JVM.
    EXPECT_EXIT(
        {
            std::thread stopper([] { requestJavaExit(); });
            stopper.join();
            // System.exit does not come back; reaching this line fails the test.
            std::_Exit(42);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
