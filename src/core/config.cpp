// Loading the embedded configuration: string-table entries, conversions, descrambling
// of the main class and the INI override of the two option texts.
#include "core/config.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/allocation.h"
#include "core/paths.h"
#include "core/state.h"
#include "core/writable_config.h"
#include "platform/platform.h"

namespace {
LauncherConfig Loaded;
}

const LauncherConfig& Config = Loaded;

LauncherConfig& writableConfig() { return Loaded; }

const char* message(unsigned id) {
    if (id < kFirstMessageId || id > kLastMessageId || (id % 16) != 0) return "";
    char*& text = Loaded.Messages[(id - kFirstMessageId) / 16];
    // Reports made before the configuration is loaded (an unreadable start-up directory)
    // still get their configured text, read from the string table on first use.
    if (!text) text = loadConfigString(id);
    return text;
}

static char* duplicate(const char* text) { return heapCopy(text); }

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

static void applyIniOverride(LauncherConfig& config) {
    if (config.OptionsFile[0] == '\0') return;
    if (!Platform.files.canOpenForReading(config.OptionsFile)) return;
    char dir[kStartupDirSize];
    uint32_t n = Platform.files.currentDirectory(dir, sizeof dir);
    if (n == 0 || n >= sizeof dir) return;
    // Joined without a fixed bound, so a long directory never cuts the name into another file's.
    std::string iniPath = joinPath(Platform.traits.pathStyle, dir, config.OptionsFile);
    static const char* const kSection = "Application Configuration";
    struct Override {
        const char* key;
        char** entry;
    } overrides[] = {{"JvmOptions", &config.JvmOptions}, {"AppOptions", &config.AppOptions}};
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

// The main class is stored scrambled, and used in slash form.
static char* loadMainClass(unsigned id) {
    char* scrambled = loadConfigString(id);
    const char* plain = descrambleText(scrambled);
    char* mainClass = duplicate(plain ? plain : "");
    free(scrambled);
    for (char* p = mainClass; *p; ++p)
        if (*p == '.') *p = '/';
    return mainClass;
}

static char* loadHex(unsigned id, uint32_t* value) {
    char* text = loadConfigString(id);
    convertHex(text, value);
    return text;
}

static void loadMessage(LauncherConfig& config, unsigned id) {
    char*& text = config.Messages[(id - kFirstMessageId) / 16];
    free(text);  // a report before loading may have read it already
    text = loadConfigString(id);
}

#define VARNLET_LOAD_Hex(name, id) c.name = loadHex(id, &c.name##Value);
#define VARNLET_LOAD_Text(name, id) c.name = loadConfigString(id);
#define VARNLET_LOAD_Integer(name, id) c.name = loadInteger(id);
#define VARNLET_LOAD_Flag(name, id) c.name = loadFlag(id);
#define VARNLET_LOAD_Scrambled(name, id) c.name = loadMainClass(id);
#define VARNLET_LOAD_Message(name, id) loadMessage(c, id);
#define VARNLET_LOAD_ReservedText(name, id) c.name = loadConfigString(id);
#define VARNLET_LOAD_ReservedFlag(name, id) c.name = loadFlag(id);
#define VARNLET_LOAD_ReservedInteger(name, id) c.name = loadInteger(id);

void loadConfiguration() {
    LauncherConfig& c = Loaded;
#define VARNLET_ENTRY(id, name, type, shape, text, meaning) VARNLET_LOAD_##type(name, id)
#include "entries.def"
#undef VARNLET_ENTRY
    applyIniOverride(c);
}

// `path` as seen from `directory`; %NAME% references name their own root.
static std::string anchored(const std::string& path, const char* directory) {
    if (path.empty() || path[0] == '%') return path;
    return resolvePath(Platform.traits.pathStyle, directory, path);
}

// A ';' list with every entry anchored. The first entry of the class path may also end at a
// line break, as the class path builder reads it; the break itself is kept after it.
static char* anchoredList(const char* text, const char* directory, bool firstEndsAtLineBreak) {
    std::string list(text), out;
    size_t at = 0;
    for (bool first = true; at <= list.size(); first = false) {
        size_t end = list.find_first_of(first && firstEndsAtLineBreak ? ";\r\n" : ";", at);
        if (end == std::string::npos) end = list.size();
        out += anchored(list.substr(at, end - at), directory);
        if (end < list.size()) out += list[end];
        at = end + 1;
    }
    return duplicate(out.c_str());
}

#define VARNLET_ANCHOR_Plain(name, id)
#define VARNLET_ANCHOR_Path(name, id) \
    if (c.name) c.name = duplicate(anchored(c.name, directory).c_str());
#define VARNLET_ANCHOR_PathList(name, id) \
    if (c.name) c.name = anchoredList(c.name, directory, id == kEntryClassPath);

void anchorConfiguredPaths(const char* directory) {
    LauncherConfig& c = Loaded;
#define VARNLET_ENTRY(id, name, type, shape, text, meaning) VARNLET_ANCHOR_##shape(name, id)
#include "entries.def"
#undef VARNLET_ENTRY
}
