// The runtime search as installers leave machines: registry keys and values, the files that
// exist, JavaSearchMode, MinJavaVersion and JvmPath, and the library and home it chooses;
// then the runtimes found without the registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>
#include <unistd.h>

#include "core/config.h"
#include "core/writable_config.h"
#include "core/state.h"
#include "fakes/fake_platform.h"
#include "runtimes/discovery.h"
#include "runtimes/installed_runtimes.h"
#include "core/next_token.h"
#include "platform/win32/backend.h"

namespace {

#define JRE "Software\\JavaSoft\\Java Runtime Environment"
#define JDK "Software\\JavaSoft\\Java Development Kit"
#define IBMJRE "Software\\IBM\\Java2 Runtime Environment"
#define ADOPTIUM "Software\\Eclipse Adoptium\\JDK"
#define SERVER "\\bin\\server\\jvm.dll"
// Value types as the Win32 backend reads them: both string types are text.
constexpr RegistryValueType kRegSz = RegistryValueType::Text, kRegExpandSz = RegistryValueType::Text,
                            kRegDword = RegistryValueType::Other;

struct Value {
    std::string key, name, data;
    RegistryValueType type = kRegSz;
    bool terminated = true;  // as installers write it
};

// HKEY_LOCAL_MACHINE as installers leave it: a buffer too small gets "more data" and contents
// not to be relied on; every key opens, and one never written is empty, as if missing.
const std::vector<Value>* registry;
std::deque<std::string> opened;  // a handle points at its key's lower-case path
int openKeys;

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const std::string& pathOf(PlatformHandle key) { return *static_cast<const std::string*>(key); }

SystemError regOpen(const char* path, PlatformHandle* key) {
    opened.push_back(lower(path));
    *key = &opened.back();
    ++openKeys;
    return kNoError;
}

SystemError regQuery(PlatformHandle key, const char* name, RegistryValueType* type, void* data, uint32_t* size) {
    for (const Value& v : *registry) {
        if (lower(v.key) != pathOf(key) || lower(v.name) != lower(name)) continue;
        *type = v.type;
        uint32_t needed = static_cast<uint32_t>(v.data.size() + (v.terminated ? 1 : 0));
        bool fits = needed <= *size;
        if (!fits) std::memset(data, '#', *size);
        else std::memcpy(data, v.data.c_str(), needed);
        *size = needed;
        return fits ? kNoError : SystemError{ErrorKind::MoreData, 234};
    }
    return SystemError{ErrorKind::NotFound, 2};
}

SystemError regEnum(PlatformHandle key, uint32_t index, char* name, uint32_t* nameSize) {
    const std::string prefix = pathOf(key) + "\\";
    std::vector<std::string> children;
    for (const Value& v : *registry) {
        if (lower(v.key).compare(0, prefix.size(), prefix) != 0) continue;
        std::string child = v.key.substr(prefix.size());
        child.resize(std::min(child.find('\\'), child.size()));
        if (std::find(children.begin(), children.end(), child) == children.end()) children.push_back(child);
    }
    if (index >= children.size()) return SystemError{ErrorKind::NoMoreItems, 259};
    const std::string& child = children[index];
    if (child.size() + 1 > *nameSize) return SystemError{ErrorKind::MoreData, 234};
    std::memcpy(name, child.c_str(), child.size() + 1);
    *nameSize = static_cast<uint32_t>(child.size());
    return kNoError;
}

struct Machine {
    const char* name;
    std::vector<Value> registry;
    std::vector<std::string> files;
    std::string chosen;             // "<none>" when nothing is found
    const char* home = nullptr;     // the home chosen for %JAVA_HOME%, when it matters
    int32_t mode = 0;
    std::string jvmPath = "";
    const char* minimum = "0x00010003";
};

std::vector<Machine> machines() {
    const std::string longEntry = "C:\\" + std::string(kPathBufferSize, 'a') + "\\jvm.dll";
    // The home + "\jre\bin\client\jvm.dll" does not fit the buffer; "\bin\server\jvm.dll" just does.
    const std::string home237 = "C:\\" + std::string(kPathBufferSize - 23, 'h');
    const std::string home270 = "C:\\" + std::string(kPathBufferSize + 10, 'h');
    const std::string longLib = "C:\\" + std::string(kPathBufferSize + 40, 'r') + "\\jvm.dll";
    const std::string fullLib = "C:\\" + std::string(kPathBufferSize - 11, 'f') + "\\jvm.dll";
    const std::string exact = std::string(kPathBufferSize, 'b'), fits = std::string(kPathBufferSize - 1, 'c');
    std::vector<Value> allClassic;
    std::vector<std::string> allClassicFiles;
    for (const char* key : {JRE, IBMJRE, JDK, "Software\\IBM\\Java Development Kit"}) {
        allClassicFiles.push_back(std::string("C:\\rt\\") + key + "\\jvm.dll");
        allClassic.push_back({std::string(key) + "\\1.8", "RuntimeLib", allClassicFiles.back()});
        allClassic.push_back({std::string(key) + "\\1.8", "JavaHome", "C:\\home"});
    }
    auto withMode = [&](const char* name, int32_t mode, const char* chosen, const char* jvmPath = "") {
        Machine m{name, allClassic, allClassicFiles, chosen};
        m.mode = mode;
        m.jvmPath = jvmPath;
        if (*jvmPath) m.files.push_back(jvmPath);
        return m;
    };
    std::vector<Machine> rows = {
        withMode("mode 0: list first", 0, "C:\\cfg\\jvm.dll", "C:\\cfg\\jvm.dll"),
        withMode("mode 4: registry first", 4, "C:\\rt\\" JRE "\\jvm.dll", "C:\\cfg\\jvm.dll"),
        withMode("mode 5: registry first, kits first", 5, "C:\\rt\\" JDK "\\jvm.dll", "C:\\cfg\\jvm.dll"),
        withMode("mode 7: registry first, kits only", 7, "C:\\rt\\" JDK "\\jvm.dll", "C:\\cfg\\jvm.dll"),
        withMode("mode 8 searches like 0, registry first", 8, "C:\\rt\\" JRE "\\jvm.dll", "C:\\cfg\\jvm.dll"),
        withMode("mode -1 searches like 0", -1, "C:\\cfg\\jvm.dll", "C:\\cfg\\jvm.dll"),
        withMode("mode 1: kits first", 1, "C:\\rt\\" JDK "\\jvm.dll"),
        withMode("mode 3: kits only", 3, "C:\\rt\\" JDK "\\jvm.dll"),
        {"IBM runtime before the JavaSoft kit",
         {{IBMJRE "\\1.8", "RuntimeLib", "C:\\ibm\\jvm.dll"}, {JDK "\\1.8", "RuntimeLib", "C:\\kit\\jvm.dll"}},
         {"C:\\ibm\\jvm.dll", "C:\\kit\\jvm.dll"}, "C:\\ibm\\jvm.dll"},
        {"runtimes only never take a kit", {{JDK "\\1.8", "JavaHome", "C:\\jdk"}}, {"C:\\jdk\\jre\\bin\\client\\jvm.dll"},
         "<none>", nullptr, 2},
        {"CurrentVersion before the subkeys",
         {{JRE "\\1.6", "RuntimeLib", "C:\\j16\\jvm.dll"}, {JRE "\\1.8", "RuntimeLib", "C:\\j18\\jvm.dll"},
          {JRE, "CurrentVersion", "1.8"}}, {"C:\\j16\\jvm.dll", "C:\\j18\\jvm.dll"}, "C:\\j18\\jvm.dll"},
        {"CurrentVersion too old: the first subkey that passes",
         {{JRE "\\1.2", "RuntimeLib", "C:\\j12\\jvm.dll"}, {JRE "\\1.7", "RuntimeLib", "C:\\j17\\jvm.dll"},
          {JRE "\\1.6", "RuntimeLib", "C:\\j16\\jvm.dll"}, {JRE, "CurrentVersion", "1.2"}},
         {"C:\\j12\\jvm.dll", "C:\\j17\\jvm.dll", "C:\\j16\\jvm.dll"}, "C:\\j17\\jvm.dll"},
        {"RuntimeLib naming a missing file rejects the version",
         {{JRE "\\1.8", "JavaHome", "C:\\jdk"}, {JRE "\\1.8", "RuntimeLib", "C:\\gone\\jvm.dll"}},
         {"C:\\jdk\\jre\\bin\\client\\jvm.dll"}, "<none>", "C:\\jdk"},
        {"the home of the last version that passed",
         {{JRE "\\1.8", "JavaHome", "C:\\passed-no-library"}, {JRE "\\1.2", "JavaHome", "C:\\too-old"}},
         {"C:\\cfg\\jvm.dll"}, "C:\\cfg\\jvm.dll", "C:\\passed-no-library", 4, "C:\\cfg\\jvm.dll"},
        {"no version passes: no home", {{JRE "\\1.2", "JavaHome", "C:\\too-old"}}, {}, "<none>", ""},
        {"a failed list leaves its first entry to join to the home", {{JDK "\\1.8", "JavaHome", "H"}},
         {"H\\lib\\jvm.dll", "H\\jre\\bin\\client\\jvm.dll"}, "H\\lib\\jvm.dll", "H", 0, "lib\\jvm.dll;other\\jvm.dll"},
        {"a failed list's later entries are not tried under a home", {{JDK "\\1.8", "JavaHome", "H"}},
         {"H\\other\\jvm.dll", "H\\jre" SERVER}, "H\\jre" SERVER, "H", 0, "lib\\jvm.dll;other\\jvm.dll"},
        {"registry first joins the whole list text", {{JDK "\\1.8", "JavaHome", "H"}},
         {"H\\lib\\jvm.dll", "H\\jre" SERVER}, "H\\jre" SERVER, "H", 4, "lib\\jvm.dll;other\\jvm.dll"},
        {"the list's first existing entry", {}, {"b\\jvm.dll", "c\\jvm.dll"}, "b\\jvm.dll", nullptr, 0,
         "a\\jvm.dll;;b\\jvm.dll;c\\jvm.dll"},
        {"a number is no library name", {{JRE "\\1.8", "RuntimeLib", "C:\\j\\jvm.dll", kRegDword}}, {"C:\\j\\jvm.dll"},
         "<none>"},
        {"an expandable string is one, its references as they stand",
         {{JRE "\\1.8", "RuntimeLib", "%ProgramFiles%\\j\\jvm.dll", kRegExpandSz}}, {"%ProgramFiles%\\j\\jvm.dll"},
         "%ProgramFiles%\\j\\jvm.dll"},
        {"a value without its terminator is read whole", {{JRE "\\1.8", "RuntimeLib", "C:\\u\\jvm.dll", kRegSz, false}},
         {"C:\\u\\jvm.dll"}, "C:\\u\\jvm.dll"},
        // The keys of Java 9 and later installers.
        {"Oracle JDK 17",
         {{"Software\\JavaSoft\\JDK", "CurrentVersion", "17"}, {"Software\\JavaSoft\\JDK\\17", "JavaHome", "C:\\jdk-17"},
          {"Software\\JavaSoft\\JDK\\17", "RuntimeLib", "C:\\jdk-17" SERVER}},
         {"C:\\jdk-17" SERVER}, "C:\\jdk-17" SERVER, "C:\\jdk-17"},
        {"Adoptium's MSI path ends in a separator",
         {{ADOPTIUM "\\21.0.1.12\\hotspot\\MSI", "Path", "C:\\Adoptium\\jdk-21\\"}},
         {"C:\\Adoptium\\jdk-21" SERVER}, "C:\\Adoptium\\jdk-21" SERVER, "C:\\Adoptium\\jdk-21"},
        {"Zulu runtimes by name", {{"Software\\Azul Systems\\Zulu\\zulu-17", "InstallationPath", "C:\\z17"},
                                    {"Software\\Azul Systems\\Zulu\\zulu-8-jre", "InstallationPath", "C:\\z8"}},
         {"C:\\z17" SERVER, "C:\\z8" SERVER}, "C:\\z8" SERVER, nullptr, 2},
        {"Zulu kits by name", {{"Software\\Azul Systems\\Zulu\\zulu-17", "InstallationPath", "C:\\z17"},
                                {"Software\\Azul Systems\\Zulu\\zulu-8-jre", "InstallationPath", "C:\\z8"}},
         {"C:\\z17" SERVER, "C:\\z8" SERVER}, "C:\\z17" SERVER, nullptr, 3},
        {"the classic keys before the current ones, kits first too",
         {{JRE "\\1.8", "RuntimeLib", "C:\\jre8\\jvm.dll"}, {ADOPTIUM "\\21.0.1.12\\hotspot\\MSI", "Path", "C:\\j21"}},
         {"C:\\jre8\\jvm.dll", "C:\\j21" SERVER}, "C:\\jre8\\jvm.dll", nullptr, 1},
        {"current runtime keys first in mode 0",
         {{"Software\\JavaSoft\\JRE\\21", "JavaHome", "C:\\jre21"}, {ADOPTIUM "\\17.0.9.9\\hotspot\\MSI", "Path", "C:\\jdk17"}},
         {"C:\\jre21" SERVER, "C:\\jdk17" SERVER}, "C:\\jre21" SERVER},
        {"current kit keys first in mode 1",
         {{"Software\\JavaSoft\\JRE\\21", "JavaHome", "C:\\jre21"}, {ADOPTIUM "\\17.0.9.9\\hotspot\\MSI", "Path", "C:\\jdk17"}},
         {"C:\\jre21" SERVER, "C:\\jdk17" SERVER}, "C:\\jdk17" SERVER, nullptr, 1},
        {"vendor versions face the minimum",
         {{ADOPTIUM "\\11.0.21.9\\hotspot\\MSI", "Path", "C:\\jdk11"}, {ADOPTIUM "\\21.0.1.12\\hotspot\\MSI", "Path", "C:\\jdk21"}},
         {"C:\\jdk11" SERVER, "C:\\jdk21" SERVER}, "C:\\jdk21" SERVER, nullptr, 0, "", "0x00110000"},
        {"OpenJ9 when HotSpot has no library",
         {{ADOPTIUM "\\17.0.9.9\\hotspot\\MSI", "Path", "C:\\empty"}, {ADOPTIUM "\\17.0.9.9\\openj9\\MSI", "Path", "C:\\j9"}},
         {"C:\\j9" SERVER}, "C:\\j9" SERVER},
        // Lengths: nothing too long is cut and used.
        {"an overlong list entry is skipped", {}, {longEntry, "C:\\ok\\jvm.dll"}, "C:\\ok\\jvm.dll", nullptr, 0,
         longEntry + ";C:\\ok\\jvm.dll"},
        {"a list entry as long as the buffer is skipped", {}, {exact, fits}, fits, nullptr, 0, exact + ";" + fits},
        {"an overlong RuntimeLib falls back to the candidates",
         {{JDK "\\1.8", "JavaHome", "C:\\jdk"}, {JDK "\\1.8", "RuntimeLib", longLib}},
         {longLib, "C:\\jdk\\jre" SERVER}, "C:\\jdk\\jre" SERVER},
        {"a value filling the buffer without its terminator is not cut",
         {{JDK "\\1.8", "JavaHome", "C:\\jdk"}, {JDK "\\1.8", "RuntimeLib", fullLib, kRegSz, false}},
         {fullLib.substr(0, kPathBufferSize - 1), "C:\\jdk\\jre" SERVER}, "C:\\jdk\\jre" SERVER},
        {"a candidate too long with the home is skipped", {{JDK "\\1.8", "JavaHome", home237}},
         {home237 + "\\jre\\bin\\client\\jvm.dll", home237 + SERVER}, home237 + SERVER},
        {"a home that does not fit is not recorded", {{JDK "\\1.8", "JavaHome", home270}},
         {home270 + "\\jre\\bin\\client\\jvm.dll"}, "<none>", ""},
        {"a version key over the registry's limit is skipped",
         {{JRE "\\1.8" + std::string(240, 'x'), "RuntimeLib", "C:\\long\\jvm.dll"}, {JRE "\\1.7", "RuntimeLib", "C:\\short\\jvm.dll"}},
         {"C:\\long\\jvm.dll", "C:\\short\\jvm.dll"}, "C:\\short\\jvm.dll"},
    };
    // The version rule against the minimum ("1.x" is Java x; no readable minimum is none), through a runtime that exists.
    const char* versions[][3] = {
        {"0x00010003", "1.4.2_05", "y"}, {"0x00010003", "1.3", "y"},  {"0x00010003", "1.2", "n"},
        {"0x00010003", "2.0", "n"},      {"0x00010003", "11.0.2", "y"}, {"0x00010003", "17", "y"},
        {"0x00010003", "1.10", "y"},     {"0x00010003", "1", "n"},    {"0x00010003", "0.9", "n"},
        {"0x00010003", "abc", "n"},      {"0x00010003", "12345678901", "n"}, {"0x00010FF3", "1.3", "y"},
        {"0x00010FF3", "1.2", "n"},      {"10003", "1.3", "y"},       {"0x000B0000", "1.8.0_202", "n"},
        {"0x000B0000", "11", "y"},       {"0x00110000", "11.0.2", "n"}, {"zz", "1.8", "y"},
        // Java 8 written either way, against classic and vendor names ("1.x" is Java x).
        {"0x00010008", "1.8.0_202", "y"}, {"0x00080000", "1.8.0_202", "y"}, {"0x00010008", "8.0.392.8", "y"},
        {"0x00010008", "1.7.0_80", "n"},  {"0x00080000", "1.7.0_80", "n"},
    };
    for (auto& v : versions) {
        Machine m{"version", {{std::string(JRE "\\") + v[1], "RuntimeLib", "C:\\rt\\jvm.dll"}}, {"C:\\rt\\jvm.dll"},
                  v[2][0] == 'y' ? "C:\\rt\\jvm.dll" : "<none>"};
        m.minimum = v[0];
        rows.push_back(m);
    }
    // A kit's candidates in their order: each is taken before those after it.
    static const std::string candidates[] = {"H\\jre\\bin\\client\\jvm.dll", "H\\jre" SERVER,
                                             "H\\jre\\bin\\classic\\jvm.dll", "H" SERVER, "H\\bin\\client\\jvm.dll"};
    for (size_t i = 0; i < 5; ++i)
        rows.push_back({"a kit's candidates", {{JDK "\\1.8", "JavaHome", "H"}}, {candidates + i, candidates + 5},
                        candidates[i]});
    // Each vendor's MSI key.
    for (const char* key : {"AdoptOpenJDK\\JDK\\11.0.10.9\\hotspot", "Eclipse Foundation\\JDK\\17.0.1.12\\hotspot",
                            "Microsoft\\JDK\\17.0.8.7\\hotspot", "Semeru\\JRE\\17.0.7.7\\openj9"})
        rows.push_back({key, {{std::string("Software\\") + key + "\\MSI", "Path", "C:\\v"}}, {"C:\\v" SERVER},
                        "C:\\v" SERVER});
    // Vendor names carry prefixes: zulu-17 passes 17, zulu- alone is no version.
    for (const char* name : {"zulu-17", "Zulu-17-jre", "jdk-17.0.1", "zulu-", "hotspot", "zulu17"}) {
        bool passes = std::strcmp(name, "zulu-") != 0 && std::strcmp(name, "hotspot") != 0;
        Machine m{"vendor name", {{std::string("Software\\Azul Systems\\Zulu\\") + name, "InstallationPath", "C:\\z"}},
                  {"C:\\z" SERVER}, passes ? "C:\\z" SERVER : "<none>"};
        m.minimum = "0x00110000";
        rows.push_back(m);
    }
    return rows;
}

TEST(Discovery, ChoosesTheRuntimeInstallersLeft) {
    for (const Machine& m : machines()) {
        FakePlatform platform;  // restores the backend's records
        registry = &m.registry;
        openKeys = 0;
        Platform.runtimes.installed = [](const RuntimeKind* kinds, size_t count, const RuntimeVisitor* visitor) {
            static const RegistryReader reader{regOpen, regQuery, regEnum, [](PlatformHandle) { --openKeys; }};
            return win32RuntimeRecords(reader, kinds, count, visitor);
        };
        for (const std::string& f : m.files) platform.world().readableFiles.insert(f);
        writableConfig().MinJavaVersion = strdup(m.minimum);
        writableConfig().JvmPath = strdup(m.jvmPath.c_str());
        writableConfig().JavaSearchMode = m.mode;
        RuntimeChoice choice = locateJvm();
        std::string chosen = choice.library.empty() ? "<none>" : choice.library;
        EXPECT_EQ(chosen, m.chosen) << m.name << " " << (m.registry.empty() ? "" : m.registry[0].key) << " min "
                                    << m.minimum;
        if (m.home) {
            EXPECT_EQ(choice.home, m.home) << m.name;
        }
        EXPECT_EQ(openKeys, 0) << m.name << ": keys left open";
        EXPECT_TRUE(platform.world().console.empty()) << m.name << ": a search reports nothing";
    }
}

// The lists' tokenizer also takes an entry that was never set.
TEST(Discovery, NoTextNoTokens) {
    char* cursor = reinterpret_cast<char*>(1);
    EXPECT_EQ(nextToken(nullptr, ";", &cursor), nullptr);
    EXPECT_EQ(cursor, nullptr);
}

// Runtimes found without the registry: the release-file version and the order of sources
// (JAVA_HOME, the java on PATH, the standard folder), on real files in a temporary tree.
TEST(ReleaseFile, VersionLine) {
    struct Row { std::string text; size_t size; const char* version; } rows[] = {
        {"JAVA_VERSION=\"17.0.9\"\n", 64, "17.0.9"},
        {"IMPLEMENTOR=\"x\"\r\nJAVA_RUNTIME_VERSION=\"8\"\r\nJAVA_VERSION=\"1.8.0_392\"\r\n", 64, "1.8.0_392"},
        {"JAVA_RUNTIME_VERSION=\"17+35\"\n X_JAVA_VERSION=\"9\"\nJAVA_VERSION=\"\"\n", 64, nullptr},
        {"JAVA_VERSION=\"17\n", 64, nullptr},
        {"JAVA_VERSION=\"17.0.10\"\n", 7, nullptr},  // does not fit: not cut
        {"JAVA_VERSION=\"17.0.10\"\n", 8, "17.0.10"},
        {"JAVA_VERSION=\"21\"", 15, nullptr},  // the text ends where its length says
    };
    for (const Row& row : rows) {
        char version[64] = "";
        EXPECT_EQ(parseReleaseVersion(row.text.data(), row.size == 15 ? 15 : row.text.size(), version, row.size),
                  row.version != nullptr) << row.text;
        EXPECT_STREQ(version, row.version ? row.version : "") << row.text;
    }
}

// One Linux machine: runtimes under opt/ and the standard folder jvm/, usr/bin/java a link
// into java-11, a 32-bit runtime, one without a release file, a Java 8 layout, a version
// manager's script. Each row: what is chosen, and the home recorded for %JAVA_HOME%.
TEST(InstalledRuntimes, OrderOfSources) {
    char pattern[] = "/tmp/varnlet-runtimes-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string root = pattern;
    auto library = [&](const std::string& path, char elfClass, char machine) {
        makeFile(root + path, std::string("\x7f" "ELF") + elfClass + std::string(13, '\1') + machine + '\0');
    };
    for (const char* home : {"/opt/jdk17:17.0.9", "/opt/jdk17-x86:17.0.9", "/jvm/java-11:11.0.21", "/jvm/java-21:21.0.1",
                             "/jvm/plain:"}) {
        std::string name(home, std::strchr(home, ':')), version(std::strchr(home, ':') + 1);
        bool x86 = name.back() == '6';
        library(name + "/lib/server/libjvm.so", x86 ? 1 : 2, x86 ? 3 : 62);
        if (!version.empty()) makeFile(root + name + "/release", "JAVA_VERSION=\"" + version + "\"\n");
    }
    library("/opt/java8/jre/lib/amd64/server/libjvm.so", 2, 62);
    makeFile(root + "/shims/java", "#!/bin/sh\n");
    library("/cfg/libjvm.so", 2, 62);
    makeFile(root + "/jvm/java-11/bin/java");
    makeFile(root + "/usr/bin/");
    ASSERT_EQ(symlink((root + "/jvm/java-11/bin/java").c_str(), (root + "/usr/bin/java").c_str()), 0);
    // "@" stands for the temporary tree.
    struct Row { const char *javaHome, *path, *minimum, *jvmPath, *library, *home; } rows[] = {
        {"@/opt/jdk17", "@/usr/bin", "0x00010003", "", "@/opt/jdk17/lib/server/libjvm.so", "@/opt/jdk17"},
        {"@/opt/jdk17", "@/usr/bin", "0x00150000", "", "@/jvm/java-21/lib/server/libjvm.so", "@/jvm/java-21"},
        {"@/opt/jdk17-x86", "", "0x00010003", "", "@/jvm/java-21/lib/server/libjvm.so", "@/jvm/java-21"},
        {"@/jvm/plain", "", "0x00010003", "", "@/jvm/java-21/lib/server/libjvm.so", "@/jvm/java-21"},
        {"@/jvm/plain", "", "0x0", "", "@/jvm/plain/lib/server/libjvm.so", "@/jvm/plain"},
        {"@/opt/java8", "", "0x0", "", "@/opt/java8/jre/lib/amd64/server/libjvm.so", "@/opt/java8"},
        {"@/opt/jdk17", "@/usr/bin", "0x00010003", "@/cfg/libjvm.so", "@/cfg/libjvm.so", ""},
        {"", "@/shims:@/usr/bin", "0x00010003", "", "@/jvm/java-11/lib/server/libjvm.so", "@/jvm/java-11"},
        {"", "usr/bin", "0x00010003", "", "@/jvm/java-11/lib/server/libjvm.so", "@/jvm/java-11"},
    };
    auto rooted = [&](std::string text) {
        for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, root);
        return text;
    };
    for (const Row& row : rows) {
        FakePlatform platform(false);
        const std::string folder = root + "/jvm";
        Platform.traits.standardRuntimeFolder = folder.c_str();
        Platform.files.canOpenForReading = defaultPlatformOps().files.canOpenForReading;
        platform.world().environment = {{"JAVA_HOME", rooted(row.javaHome)}, {"PATH", rooted(row.path)}};
        writableConfig().MinJavaVersion = strdup(row.minimum);
        writableConfig().JvmPath = strdup(rooted(row.jvmPath).c_str());
        std::strcpy(State.StartupDir, root.c_str());
        RuntimeChoice choice = locateJvm();
        EXPECT_EQ(choice.library.empty() ? "<none>" : choice.library, rooted(row.library)) << row.javaHome << " " << row.minimum;
        EXPECT_EQ(choice.home, rooted(row.home)) << row.javaHome << " " << row.minimum;
    }
    EXPECT_EQ(std::system(("rm -rf '" + root + "'").c_str()), 0);
}

}  // namespace
