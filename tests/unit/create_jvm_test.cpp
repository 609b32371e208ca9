// Loading the JVM library and creating the JVM against the fake library: the arguments
// the JVM receives, the chosen library in every message, the system's reason for a failed
// load, the early working directory, the service console and the shutdown order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_jni.h"
#include "fakes/fake_platform.h"
#include "jvm/create_jvm.h"
#include "core/config.h"
#include "core/state.h"

namespace {

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
    void load() { loadConfiguration(); }
    std::vector<std::string> consoleTexts() {
        std::vector<std::string> texts;
        for (const ConsoleLine& l : platform_.world().console) texts.push_back(l.text);
        return texts;
    }
    FakePlatform platform_;
    FakeJni jni_;
};

TEST_F(CreateJvm, NoOptionTokensGiveZeroOptionsAndANullPointer) {
    platform_.world().strings[1056] = "";
    load();
    ASSERT_TRUE(createJvm(false));
    EXPECT_TRUE(jni_.created);
    EXPECT_EQ(jni_.initVersion, JNI_VERSION_1_2);
    EXPECT_EQ(jni_.initOptionCount, 0);
    EXPECT_TRUE(jni_.initOptionsNull);
    EXPECT_TRUE(jni_.initIgnoreUnrecognized);
    EXPECT_EQ(State.Jvm, jni_.vm());
    EXPECT_EQ(State.JniEnv, jni_.env());
    EXPECT_TRUE(consoleTexts().empty());
}

TEST_F(CreateJvm, OptionsInOrderWithTheClassPathOptionWithoutItsQuotes) {
    platform_.world().strings[1056] = "-Xmx64m \"-Dgreeting=two words\" -Xunknown";
    platform_.world().strings[1072] = "%D%app.jar;%D%lib dir";
    platform_.world().environment["D"] = "C:\\apps\\demo\\";
    load();
    ASSERT_TRUE(createJvm(false));
    std::vector<std::string> expected{"-Xmx64m", "-Dgreeting=two words", "-Xunknown",
                                      "-Djava.class.path=C:\\apps\\demo\\app.jar;C:\\apps\\demo\\lib dir"};
    EXPECT_EQ(jni_.initOptions, expected);
    EXPECT_EQ(jni_.initOptionCount, 4);
    EXPECT_TRUE(jni_.initIgnoreUnrecognized);
}

TEST_F(CreateJvm, LoadFailureReportsTheSystemTextThenTheChosenLibrary) {
    platform_.world().strings[1040] = "C:\\old\\jvm.dll;C:\\jdk\\bin\\server\\jvm.dll";
    jni_.loadableLibraries.clear();
    jni_.loadError = 193;
    load();
    EXPECT_FALSE(createJvm(false));
    EXPECT_EQ(consoleTexts(), (std::vector<std::string>{"System text 193.\r\n", "Unable to load JVM: C:\\jdk\\bin\\server\\jvm.dll"}));
    EXPECT_STREQ(Config.JvmPath, kJvm);
    // The runtime's own bin folder is searched for the library's dependencies.
    EXPECT_EQ(jni_.loadCalls, (std::vector<std::string>{std::string(kJvm) + "|C:\\jdk\\bin"}));
}

TEST_F(CreateJvm, MissingExportIsReportedWithTheChosenLibraryWhichStaysLoaded) {
    for (const char* missing : {"JNI_GetDefaultJavaVMInitArgs", "JNI_CreateJavaVM"}) {
        platform_.world().console.clear();
        jni_.missingExports = {missing};
        platform_.world().strings[1040] = "C:\\none\\jvm.dll;C:\\jdk\\bin\\server\\jvm.dll";
        load();
        EXPECT_FALSE(createJvm(false)) << missing;
        EXPECT_EQ(consoleTexts(), (std::vector<std::string>{"Unable to locate JNI interfaces in C:\\jdk\\bin\\server\\jvm.dll"}));
        EXPECT_FALSE(jni_.created);
        EXPECT_TRUE(jni_.freedLibraries.empty());
    }
}

TEST_F(CreateJvm, CreationFailureNamesTheChosenLibrary) {
    jni_.createResult = JNI_EINVAL;
    platform_.world().strings[1040] = "C:\\none\\jvm.dll;C:\\jdk\\bin\\server\\jvm.dll";
    load();
    EXPECT_FALSE(createJvm(false));
    EXPECT_EQ(consoleTexts(), (std::vector<std::string>{"Unable to create JVM instance using C:\\jdk\\bin\\server\\jvm.dll"}));
    EXPECT_EQ(State.Jvm, nullptr);
}

TEST_F(CreateJvm, NoRuntimeFoundIsReportedWithoutAnyLoad) {
    platform_.world().strings[1040] = "C:\\none\\jvm.dll";
    load();
    EXPECT_FALSE(createJvm(false));
    EXPECT_EQ(consoleTexts(), (std::vector<std::string>{"Unable to locate suitable Java Runtime Environment on this machine."}));
    EXPECT_TRUE(jni_.loadCalls.empty());
}

TEST_F(CreateJvm, ConfiguredNoRuntimeTextIsAFormatWithoutArgument) {
    platform_.world().strings[1040] = "C:\\none\\jvm.dll";
    platform_.world().strings[1472] = "Needs Java 100%% of the time %s";
    load();
    EXPECT_FALSE(createJvm(false));
    EXPECT_EQ(consoleTexts(), (std::vector<std::string>{"Needs Java 100% of the time "}));
}

TEST_F(CreateJvm, EarlyWorkingDirectoryIsEnteredBeforeTheSearch) {
    platform_.world().strings[1232] = "1";
    platform_.world().strings[1152] = "C:\\work";
    load();
    ASSERT_TRUE(createJvm(false));
    EXPECT_EQ(platform_.world().directoryChanges, (std::vector<std::string>{"C:\\work"}));
}

TEST_F(CreateJvm, EarlyWorkingDirectoryThatCannotBeEnteredStopsBeforeTheSearch) {
    platform_.world().strings[1232] = "1";
    platform_.world().strings[1152] = "C:\\missing";
    load();
    EXPECT_FALSE(createJvm(false));
    EXPECT_EQ(consoleTexts(), (std::vector<std::string>{"System text 2.\r\n", "Error accessing file/directory: C:\\missing"}));
    EXPECT_TRUE(jni_.loadCalls.empty());
}

TEST_F(CreateJvm, EarlyFlagWithEmptyWorkingDirectoryChangesNothing) {
    platform_.world().strings[1232] = "1";
    load();
    ASSERT_TRUE(createJvm(false));
    EXPECT_TRUE(platform_.world().directoryChanges.empty());
}

struct ConsoleRecord {
    std::vector<std::string> steps;
    bool allocates = false;
    ConsoleHandlerRoutine handler = nullptr;
};
ConsoleRecord* consoleRecord;

void installConsoleFakes(ConsoleRecord* record) {
    consoleRecord = record;
    Platform.allocConsole = [] {
        consoleRecord->steps.push_back("allocConsole");
        return consoleRecord->allocates;
    };
    Platform.setConsoleCtrlHandler = [](ConsoleHandlerRoutine handler) {
        consoleRecord->steps.push_back("setConsoleCtrlHandler");
        consoleRecord->handler = handler;
        return true;
    };
    Platform.reopenStdStreamsOnConsole = [] {
        consoleRecord->steps.push_back("reopenStdStreamsOnConsole");
        return true;
    };
    Platform.consoleDeviceName = "CONOUT$";
}

TEST_F(CreateJvm, ServiceConsoleCarriesBothStreams) {
    ConsoleRecord record;
    record.allocates = true;
    installConsoleFakes(&record);
    load();
    ASSERT_TRUE(createJvm(true));
    EXPECT_EQ(record.steps, (std::vector<std::string>{"allocConsole", "setConsoleCtrlHandler", "reopenStdStreamsOnConsole"}));
    EXPECT_EQ(record.handler, &consoleControlHandler);
    EXPECT_EQ(jni_.countCalls("NewStringUTF:CONOUT$"), 2u);
    EXPECT_EQ(jni_.countCalls("NewObject:java/io/FileOutputStream"), 2u);
    EXPECT_EQ(jni_.countCalls("CallStaticVoidMethod:java/lang/System.setOut"), 1u);
    EXPECT_EQ(jni_.countCalls("CallStaticVoidMethod:java/lang/System.setErr"), 1u);
}

TEST_F(CreateJvm, ARefusedConsoleSkipsNoStep) {
    ConsoleRecord record;
    record.allocates = false;  // the process has a console already
    installConsoleFakes(&record);
    load();
    ASSERT_TRUE(createJvm(true));
    EXPECT_EQ(record.steps, (std::vector<std::string>{"allocConsole", "setConsoleCtrlHandler", "reopenStdStreamsOnConsole"}));
    EXPECT_EQ(jni_.countCalls("CallStaticVoidMethod:java/lang/System.setErr"), 1u);
}

TEST(ConsoleControlHandler, OnlyLogOffIsHandledSoTheServiceSurvivesIt) {
    EXPECT_TRUE(consoleControlHandler(5));
    for (uint32_t other : {0u, 1u, 2u, 6u}) EXPECT_FALSE(consoleControlHandler(other)) << other;
}

TEST(JavaBinDirectory, TheLibrarysParentsParent) {
    FakePlatform windows(true);
    struct Row {
        const char* path;
        const char* bin;  // null: no folder
    } rows[] = {
        {"C:\\jdk-17\\bin\\server\\jvm.dll", "C:\\jdk-17\\bin"},
        {"C:\\jre8\\jre\\bin\\client\\jvm.dll", "C:\\jre8\\jre\\bin"},
        {"C:/jdk/bin/server/jvm.dll", "C:/jdk/bin"},
        {"..\\jre\\bin\\server\\jvm.dll", "..\\jre\\bin"},
        {"server\\jvm.dll", nullptr},
        {"\\server\\jvm.dll", nullptr},
        {"jvm.dll", nullptr},
    };
    for (const Row& row : rows) {
        char buffer[260] = "unchanged";
        bool found = javaBinDirectory(row.path, buffer, sizeof buffer);
        EXPECT_EQ(found, row.bin != nullptr) << row.path;
        if (row.bin) {
            EXPECT_STREQ(buffer, row.bin) << row.path;
        }
    }
    char small[8];
    EXPECT_FALSE(javaBinDirectory("C:\\jdk-17\\bin\\server\\jvm.dll", small, sizeof small));
}

TEST(JavaBinDirectory, PosixPathsUseOnlySlashes) {
    FakePlatform posix(false);
    char buffer[260];
    ASSERT_TRUE(javaBinDirectory("/usr/lib/jvm/java-17/lib/server/libjvm.so", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "/usr/lib/jvm/java-17/lib");
    EXPECT_FALSE(javaBinDirectory("dir\\sub\\libjvm.so", buffer, sizeof buffer));
}

}  // namespace
