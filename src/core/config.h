// The embedded configuration: the process-wide LauncherConfig, written once by its loader and
// only read after that. What a run makes of it (the chosen runtime, the final options) lives in
// the steps' results and in LauncherState, never here.
#pragma once
#include <cstddef>
#include <cstdint>

#include "entries/entries.h"

// One field per entry of resources/entries.def, by its type: texts as read, flags, numbers,
// a hex entry's text and its value (<Name>Value), the descrambled main class in slash form.
// The texts are heap copies owned by the loader: readers see them const.
#define VARNLET_FIELD_Hex(name) \
    const char* name;           \
    uint32_t name##Value;
#define VARNLET_FIELD_Text(name) const char* name;
#define VARNLET_FIELD_Integer(name) int32_t name;
#define VARNLET_FIELD_Flag(name) bool name;
#define VARNLET_FIELD_Scrambled(name) const char* name;
#define VARNLET_FIELD_Message(name)
#define VARNLET_FIELD_ReservedText(name) const char* name;
#define VARNLET_FIELD_ReservedFlag(name) bool name;
#define VARNLET_FIELD_ReservedInteger(name) int32_t name;

struct LauncherConfig {
#define VARNLET_ENTRY(id, name, type, shape, text, meaning) VARNLET_FIELD_##type(name)
#include "entries.def"
#undef VARNLET_ENTRY
    const char* Messages[kMessageCount];  // indexed by (id - kFirstMessageId) / 16
};

extern const LauncherConfig& Config;

// The format text of a message entry; never null after loading.
const char* message(unsigned id);

// A new heap string with entry `id`, "" for a missing, empty or "<null>" entry.
char* loadConfigString(unsigned id);
// Loads every entry, then lets the OptionsFile INI override JvmOptions and AppOptions.
void loadConfiguration();
// The last step of loading for a run that stays in the caller's directory: every entry of the
// shape Path or PathList (entries.def) takes its absolute form against `directory`,
// the executable's folder, so that no reader can take a relative one from the caller's
// directory. Entries that start with a %NAME% reference name their own root and stay as
// they are; so do empty entries.
void anchorConfiguredPaths(const char* directory);
