// Loading the embedded configuration: string-table entries, conversions, descrambling
// of the main class and the INI override of the two option texts.
#include "core/config.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/paths.h"
#include "core/state.h"
#include "platform/platform.h"

LauncherConfig Config;

const char* message(unsigned id) {
    if (id < kFirstMessageId || id > kLastMessageId || (id % 16) != 0) return "";
    char*& text = Config.Messages[(id - kFirstMessageId) / 16];
    // Reports made before the configuration is loaded (an unreadable start-up directory)
    // still get their configured text, read from the string table on first use.
    if (!text) text = loadConfigString(id);
    return text;
}

static char* duplicate(const char* text) {
    size_t n = strlen(text);
    char* copy = static_cast<char*>(malloc(n + 1));
    if (!copy) abort();  // nothing sensible can run without its configuration
    memcpy(copy, text, n + 1);
    return copy;
}

// An entry holds at most kConfigTextMax characters, counted in UTF-16 units as the string
// table stores them; the buffers hold that many in UTF-8, and a longer text is cut there,
// never inside a character.
static void cutToEntryLength(char* text) {
    size_t units = 0;
    for (char* p = text; *p;) {
        unsigned char lead = static_cast<unsigned char>(*p);
        size_t needed = lead >= 0xF0 ? 2 : 1;  // four bytes make a surrogate pair
        if (units + needed > kConfigTextMax) {
            *p = '\0';
            return;
        }
        units += needed;
        do ++p;
        while ((static_cast<unsigned char>(*p) & 0xC0) == 0x80);
    }
}

char* loadConfigString(unsigned id) {
    char buffer[kConfigTextBytes + 1];
    int n = Platform.process.loadString(id, buffer, sizeof buffer);
    if (n <= 0 || strcmp(buffer, "<null>") == 0) return duplicate("");
    buffer[sizeof buffer - 1] = '\0';
    cutToEntryLength(buffer);
    return duplicate(buffer);
}

static bool loadFlag(unsigned id) {
    char* text = loadConfigString(id);
    bool value = convertFlag(text);
    free(text);
    return value;
}

static int32_t loadInteger(unsigned id) {
    char* text = loadConfigString(id);
    int32_t value = convertInteger(text);
    free(text);
    return value;
}

static void applyIniOverride() {
    if (Config.OptionsFile[0] == '\0') return;
    if (!Platform.files.canOpenForReading(Config.OptionsFile)) return;
    char dir[kStartupDirSize];
    uint32_t n = Platform.files.currentDirectory(dir, sizeof dir);
    if (n == 0 || n >= sizeof dir) return;
    // Joined without a fixed bound, so a long directory never cuts the name into another file's.
    std::string iniPath = joinPath(Platform.traits.pathStyle, dir, Config.OptionsFile);
    static const char* const kSection = "Application Configuration";
    struct Override {
        const char* key;
        char** entry;
    } overrides[] = {{"JvmOptions", &Config.JvmOptions}, {"AppOptions", &Config.AppOptions}};
    for (const Override& o : overrides) {
        char value[kConfigTextBytes + 1];
        uint32_t got = Platform.files.readProfileString(kSection, o.key, "", value, sizeof value, iniPath.c_str());
        if (got != 0) {
            cutToEntryLength(value);
            free(*o.entry);
            *o.entry = duplicate(value);
        }
    }
}

void loadConfiguration() {
    char* scrambled = loadConfigString(1168);
    const char* plain = descrambleText(scrambled);
    Config.MainClass = duplicate(plain ? plain : "");
    free(scrambled);

    Config.JvmPath = loadConfigString(1040);
    Config.ClassPath = loadConfigString(1072);
    Config.JvmOptions = loadConfigString(1056);
    Config.InstallSwitch = loadConfigString(1104);
    Config.UninstallSwitch = loadConfigString(1120);
    Config.ServiceSwitch = loadConfigString(1136);
    Config.ServiceName = loadConfigString(1248);
    Config.ServiceDescription = loadConfigString(1264);
    Config.WorkingDir = loadConfigString(1152);
    Config.AppOptions = loadConfigString(1184);
    Config.ServiceStartOptions = loadConfigString(1280);
    Config.ServiceStopOptions = loadConfigString(1296);
    Config.SystemOutFile = loadConfigString(1360);
    Config.SystemErrFile = loadConfigString(1376);
    Config.SingleInstanceMutex = loadConfigString(1392);
    Config.JavaDownloadUrl = loadConfigString(1744);
    Config.OptionsFile = loadConfigString(1200);
    Config.ServiceDependencies = loadConfigString(1824);
    Config.ServiceAccount = loadConfigString(1840);
    Config.ServiceConsoleSwitch = loadConfigString(1872);
    Config.MainJar = loadConfigString(1952);
    Config.ModulePath = loadConfigString(1968);
    Config.MainModule = loadConfigString(1984);
    Config.SplashImage = loadConfigString(2000);
    Config.ClassDataCacheDir = loadConfigString(2064);
    Config.ClassDataCache = loadFlag(2048);
    Config.LogRotateSize = loadConfigString(2096);
    Config.LogRotateDaily = loadFlag(2112);
    Config.LogRotateKeep = loadInteger(2128);

    Config.EarlyWorkingDir = loadFlag(1232);
    Config.SingleInstance = loadFlag(1344);
    Config.Reserved1408 = loadFlag(1408);
    Config.ServiceManualStart = loadFlag(1328);
    Config.ServiceStopByExit = loadFlag(1312);
    Config.UseStartupDir = loadFlag(1216);
    Config.ServiceDelayedStart = loadFlag(1808);
    Config.StayInStartupDir = loadFlag(1904);
    Config.JavaCommandOptions = loadFlag(1920);
    Config.LauncherProperties = loadFlag(1936);
    Config.ModernReferences = loadFlag(1888);

    Config.Reserved1424 = loadInteger(1424);
    Config.JavaSearchMode = loadInteger(1088);
    Config.ServiceRestartDelay = loadInteger(1760);
    Config.ServiceRestartCount = loadInteger(1776);
    Config.ServiceRestartReset = loadInteger(1792);
    Config.ServiceStopTimeout = loadInteger(1856);

    Config.MinJavaVersion = loadConfigString(1024);
    convertHex(Config.MinJavaVersion, &Config.MinJavaVersionValue);

    for (char* p = Config.MainClass; *p; ++p)
        if (*p == '.') *p = '/';

    for (size_t i = 0; i < kMessageCount; ++i) {
        free(Config.Messages[i]);
        Config.Messages[i] = loadConfigString(static_cast<unsigned>(kFirstMessageId + 16 * i));
    }
    Config.SingleInstanceMessage = loadConfigString(1440);

    applyIniOverride();
}
