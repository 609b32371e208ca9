// Loading the JVM library and creating the JVM against the fake library: the messages of
// failures a real JVM cannot act out (naming the library chosen from a list), the service
// console and the runtime's bin folder. What a real JVM receives is shown in the jvm tier.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_jni.h"
#include "fakes/fake_platform.h"
#include "jvm/create_jvm.h"
#include "core/config.h"
#include "core/state.h"

namespace {

using Texts = std::vector<std::string>;
const char* const kJvm = "C:\\jdk\\bin\\server\\jvm.dll";

class CreateJvm : public ::testing::Test {
protected:
    void SetUp() override {
        loadDefaultStrings(platform_.world());
        platform_.world().strings[1040] = kJvm;
        platform_.world().strings[1072] = "";
        platform_.world().enterableDirectories.insert("C:\\work");
        platform_.world().readableFiles.insert(kJvm);
        jni_.loadableLibraries.insert(kJvm);
    }
    Texts consoleTexts() {
        Texts texts;
        for (const ConsoleLine& l : platform_.world().console) texts.push_back(l.text);
        return texts;
    }
    FakePlatform platform_;
    FakeJni jni_;
};

TEST_F(CreateJvm, EveryFailureIsReportedWithTheChosenLibrary) {
    struct Row {
        const char* what;
        const char* jvmPath;
        const char* missingExport;
        const char* noRuntimeText;
        Texts expected;
    } rows[] = {
        {"load", "C:\\old\\jvm.dll;C:\\jdk\\bin\\server\\jvm.dll", "", nullptr,
         {"System text 193.\r\n", "Unable to load JVM: C:\\jdk\\bin\\server\\jvm.dll"}},
        {"export", "C:\\none\\jvm.dll;C:\\jdk\\bin\\server\\jvm.dll", "JNI_GetDefaultJavaVMInitArgs", nullptr,
         {"Unable to locate JNI interfaces in C:\\jdk\\bin\\server\\jvm.dll"}},
        {"export", kJvm, "JNI_CreateJavaVM", nullptr, {"Unable to locate JNI interfaces in C:\\jdk\\bin\\server\\jvm.dll"}},
        // The configured text is a format that gets no argument.
        {"text", "C:\\none\\jvm.dll", "", "Needs Java 100%% of the time %s", {"Needs Java 100% of the time "}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        platform_.world().console.clear();
        if (row.what == std::string("load")) jni_.loadableLibraries.clear();
        jni_.missingExports = {row.missingExport};
        platform_.world().strings[1040] = row.jvmPath;
        if (row.noRuntimeText) platform_.world().strings[1472] = row.noRuntimeText;
        loadConfiguration();
        EXPECT_FALSE(createJvm(false));
        EXPECT_EQ(consoleTexts(), row.expected);
        jni_.loadableLibraries.insert(kJvm);
    }
}

// The service console: System.out and System.err on the console device, also when the
// process had a console already (a refused AllocConsole).
TEST_F(CreateJvm, ServiceConsoleCarriesBothStreams) {
    static bool allocates;
    static int reopened;
    static ConsoleHandlerRoutine handler;
    Platform.allocConsole = [] { return allocates; };
    Platform.setConsoleCtrlHandler = [](ConsoleHandlerRoutine h) { return handler = h, true; };
    Platform.reopenStdStreamsOnConsole = [] { return ++reopened, true; };
    Platform.consoleDeviceName = "CONOUT$";
    loadConfiguration();
    for (bool a : {true, false}) {
        allocates = a;
        reopened = 0;
        handler = nullptr;
        jni_.calls.clear();
        ASSERT_TRUE(createJvm(true));
        EXPECT_EQ(handler, &consoleControlHandler);
        EXPECT_EQ(reopened, 1);
        EXPECT_EQ(jni_.countCalls("NewStringUTF:CONOUT$\n"), 2u);
        EXPECT_TRUE(jni_.called("CallStaticVoidMethod:java/lang/System.setOut(Ljava/io/PrintStream;)V"));
        EXPECT_TRUE(jni_.called("CallStaticVoidMethod:java/lang/System.setErr(Ljava/io/PrintStream;)V"));
    }
    // Only log-off is handled, so the service survives it.
    EXPECT_TRUE(consoleControlHandler(5));
    for (uint32_t other : {0u, 1u, 2u, 6u}) EXPECT_FALSE(consoleControlHandler(other)) << other;
}

TEST(JavaBinDirectory, TheLibrarysParentsParent) {
    struct Row {
        bool windows;
        const char* path;
        const char* bin;  // null: no folder
    } rows[] = {
        {true, "C:\\jdk-17\\bin\\server\\jvm.dll", "C:\\jdk-17\\bin"},
        {true, "C:/jdk/bin/server/jvm.dll", "C:/jdk/bin"},
        {true, "server\\jvm.dll", nullptr},
        {true, "\\server\\jvm.dll", nullptr},
        {true, "jvm.dll", nullptr},
        {false, "/usr/lib/jvm/java-17/lib/server/libjvm.so", "/usr/lib/jvm/java-17/lib"},
        {false, "dir\\sub\\libjvm.so", nullptr},
    };
    for (const Row& row : rows) {
        FakePlatform platform(row.windows);
        char buffer[260] = "unchanged";
        EXPECT_EQ(javaBinDirectory(row.path, buffer, sizeof buffer), row.bin != nullptr) << row.path;
        EXPECT_STREQ(row.bin ? buffer : nullptr, row.bin) << row.path;
    }
    FakePlatform windows(true);
    char small[8];
    EXPECT_FALSE(javaBinDirectory("C:\\jdk-17\\bin\\server\\jvm.dll", small, sizeof small));
}

}  // namespace
