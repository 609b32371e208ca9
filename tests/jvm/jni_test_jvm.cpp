// The JVM shared by the JNI helper tests (created once, before any test runs), the
// probes that read its state with raw JNI, and the report capture.
#include "jni_test_jvm.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "core/config.h"
#include "core/state.h"
#include "platform/platform.h"

namespace {

JavaVM* theJvm;
JNIEnv* theEnv;
ReportCapture* activeCapture;

void captureLine(bool toError, const char* text) {
    ReportCapture::Line line{toError, text, ""};
    if (!activeCapture->watchFile.empty()) line.errFileAtReport = readFile(activeCapture->watchFile);
    activeCapture->lines.push_back(line);
}

char* emptyText() { return const_cast<char*>(""); }

class JvmEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static char classPath[] = "-Djava.class.path=" VARNLET_TEST_JAR;
        JavaVMOption options[1];
        options[0].optionString = classPath;
        options[0].extraInfo = nullptr;
        JavaVMInitArgs args;
        args.version = JNI_VERSION_1_2;
        args.nOptions = 1;
        args.options = options;
        args.ignoreUnrecognized = JNI_TRUE;
        void* env = nullptr;
        ASSERT_EQ(JNI_CreateJavaVM(&theJvm, &env, &args), JNI_OK);
        theEnv = static_cast<JNIEnv*>(env);
        State.Jvm = theJvm;
        State.JniEnv = theEnv;
        State.RunMode = RunModeKind::Console;
        // Every text entry the invocation reads holds a string, as after loading.
        Config.WorkingDir = emptyText();
        Config.AppOptions = emptyText();
        Config.SystemOutFile = emptyText();
        Config.SystemErrFile = emptyText();
        Config.MainClass = const_cast<char*>("varnlet/testapps/Recorder");
        for (size_t i = 0; i < kMessageCount; ++i) Config.Messages[i] = const_cast<char*>(findEntry(kFirstMessageId + 16 * i)->defaultText);
    }
};

}  // namespace

JNIEnv* testEnv() { return theEnv; }
JavaVM* testJvm() { return theJvm; }

std::u16string javaProperty(JNIEnv* env, const char* name) {
    jclass system = env->FindClass("java/lang/System");
    jmethodID get = env->GetStaticMethodID(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
    jstring value = static_cast<jstring>(env->CallStaticObjectMethod(system, get, env->NewStringUTF(name)));
    if (!value) return u"<null>";
    const jchar* chars = env->GetStringChars(value, nullptr);
    std::u16string result(reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(env->GetStringLength(value)));
    env->ReleaseStringChars(value, chars);
    return result;
}

std::string javaPropertyAscii(JNIEnv* env, const char* name) {
    std::u16string wide = javaProperty(env, name);
    return std::string(wide.begin(), wide.end());
}

jobject javaStream(JNIEnv* env, const char* field) {
    jclass system = env->FindClass("java/lang/System");
    jfieldID id = env->GetStaticFieldID(system, field, "Ljava/io/PrintStream;");
    return env->NewGlobalRef(env->GetStaticObjectField(system, id));
}

void setJavaStream(JNIEnv* env, const char* field, jobject stream) {
    jclass system = env->FindClass("java/lang/System");
    jmethodID setter = env->GetStaticMethodID(system, field[0] == 'o' ? "setOut" : "setErr", "(Ljava/io/PrintStream;)V");
    env->CallStaticVoidMethod(system, setter, stream);
}

void javaPrintln(JNIEnv* env, const char* field, const char* text) {
    jobject stream = javaStream(env, field);
    jclass printStream = env->FindClass("java/io/PrintStream");
    jmethodID println = env->GetMethodID(printStream, "println", "(Ljava/lang/String;)V");
    env->CallVoidMethod(stream, println, env->NewStringUTF(text));
    env->DeleteGlobalRef(stream);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::string makeTempDirectory() {
    char pattern[] = "/tmp/varnlet-jni-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? made : "";
}

ReportCapture::ReportCapture() {
    activeCapture = this;
    Platform.writeConsoleLine = captureLine;
}

ReportCapture::~ReportCapture() {
    Platform.writeConsoleLine = defaultPlatformOps().writeConsoleLine;
    activeCapture = nullptr;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Death tests run in a fresh copy of this binary, which makes its own JVM.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::testing::AddGlobalTestEnvironment(new JvmEnvironment);
    return RUN_ALL_TESTS();
}
