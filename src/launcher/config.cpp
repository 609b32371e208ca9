// Loading the embedded configuration: string-table entries, conversions, descrambling
// of the main class and the INI override of the two option texts.
#include "launcher/config.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

LauncherConfig Config;

const EntryInfo kEntries[] = {
#define VARNLET_ENTRY(id, name, type, text, meaning) {id, #name, EntryType::type, text, meaning},
#include "entries.def"
#undef VARNLET_ENTRY
};
const size_t kEntryCount = sizeof kEntries / sizeof kEntries[0];

const unsigned char kScrambleKey[17] = {'K', 'q', '4', 'T', 'z', '8', 'W', 'm', '1',
                                        'R', 'v', '6', 'Y', 'p', '3', 'X', 0};

const EntryInfo* findEntry(unsigned id) {
    for (size_t i = 0; i < kEntryCount; ++i)
        if (kEntries[i].id == id) return &kEntries[i];
    return nullptr;
}

const EntryInfo* findEntryByName(const char* name) {
    for (size_t i = 0; i < kEntryCount; ++i)
        if (strcmp(kEntries[i].name, name) == 0) return &kEntries[i];
    return nullptr;
}

const char* message(unsigned id) {
    if (id < kFirstMessageId || id > kLastEntryId || (id % 16) != 0) return "";
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

char* loadConfigString(unsigned id) {
    char buffer[kConfigTextMax + 1];
    int n = Platform.loadString(id, buffer, sizeof buffer);
    if (n <= 0 || strcmp(buffer, "<null>") == 0) return duplicate("");
    buffer[sizeof buffer - 1] = '\0';
    return duplicate(buffer);
}

static int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

const char* descrambleText(const char* hex) {
    static char result[256];
    memset(result, 0, sizeof result);
    size_t length = strlen(hex);
    // Only an even number of capital hex digits that fits the buffer has a meaning;
    // anything else decodes to nothing rather than to bytes that were never stored.
    if (length % 2 != 0 || length > 2 * kMainClassMaxBytes) return nullptr;
    for (size_t i = 0; i < length; i += 2) {
        int high = hexDigit(hex[i]), low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0) {
            memset(result, 0, sizeof result);
            return nullptr;
        }
        result[i / 2] = static_cast<char>(16 * high + low);
    }
    for (size_t i = 0; i < length / 2; ++i) result[i] = static_cast<char>(result[i] ^ kScrambleKey[i % 17]);
    return result;
}

bool convertFlag(const char* text) { return text[0] != '0'; }

int32_t convertInteger(const char* text) {
    const char* p = text;
    while (isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > 0x80000000LL) value = 0x80000000LL;  // saturate instead of overflowing
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(value);
}

bool convertHex(const char* text, uint32_t* value) {
    const char* p = text;
    while (isspace(static_cast<unsigned char>(*p))) ++p;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && isxdigit(static_cast<unsigned char>(p[2]))) p += 2;
    uint64_t v = 0;
    bool any = false;
    while (isxdigit(static_cast<unsigned char>(*p))) {
        char c = *p++;
        int d = c <= '9' ? c - '0' : (tolower(c) - 'a' + 10);
        v = (v << 4) | static_cast<unsigned>(d);
        if (v > 0xFFFFFFFFull) v = 0xFFFFFFFFull;
        any = true;
    }
    *value = any ? static_cast<uint32_t>(v) : 0;
    return any;
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
    if (!Platform.canOpenForReading(Config.OptionsFile)) return;
    char dir[kStartupDirSize];
    uint32_t n = Platform.getCurrentDirectory(dir, sizeof dir);
    if (n == 0 || n >= sizeof dir) return;
    // Joined without a fixed bound, so a long directory never cuts the name into another file's.
    std::string iniPath = dir;
    if (iniPath.empty() || iniPath.back() != Platform.pathStyle.dirSeparator) iniPath += Platform.pathStyle.dirSeparator;
    iniPath += Config.OptionsFile;
    static const char* const kSection = "Application Configuration";
    struct Override {
        const char* key;
        char** entry;
    } overrides[] = {{"JvmOptions", &Config.JvmOptions}, {"AppOptions", &Config.AppOptions}};
    for (const Override& o : overrides) {
        char value[kConfigTextMax + 1];
        uint32_t got = Platform.readProfileString(kSection, o.key, "", value, sizeof value, iniPath.c_str());
        if (got != 0) {
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
    Config.Reserved1392 = loadConfigString(1392);
    Config.OptionsFile = loadConfigString(1200);

    Config.EarlyWorkingDir = loadFlag(1232);
    Config.Reserved1344 = loadFlag(1344);
    Config.Reserved1408 = loadFlag(1408);
    Config.ServiceManualStart = loadFlag(1328);
    Config.ServiceStopByExit = loadFlag(1312);
    Config.UseStartupDir = loadFlag(1216);

    Config.Reserved1424 = loadInteger(1424);
    Config.JavaSearchMode = loadInteger(1088);

    Config.MinJavaVersion = loadConfigString(1024);
    convertHex(Config.MinJavaVersion, &Config.MinJavaVersionValue);

    for (char* p = Config.MainClass; *p; ++p)
        if (*p == '.') *p = '/';

    for (size_t i = 0; i < kMessageCount; ++i) {
        free(Config.Messages[i]);
        Config.Messages[i] = loadConfigString(static_cast<unsigned>(kFirstMessageId + 16 * i));
    }
    Config.Reserved1440 = loadConfigString(1440);

    applyIniOverride();
}
