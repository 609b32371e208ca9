// Assembling the JVM option text: the configured options, the class path option with
// directories expanded into their archives, and %NAME% references in the configured texts.
#pragma once
#include <cstddef>

// A growable text. `text` stays null until the first non-empty append or reservation;
// whenever it is not null it is terminated and length + 1 <= capacity. The owner frees
// `text` (releaseText).
struct TextBuffer {
    char* text;
    size_t length;
    size_t capacity;
};

// Appends `piece` (null or empty changes nothing). Grows at most once per append, by at
// least 1024 bytes and at least four times the piece, and at least doubling, so that long
// class paths are built in linear time. False only when memory runs out (nothing changed).
bool appendText(TextBuffer* buffer, const char* piece);
// Makes room for `extra` more bytes (and the terminator) by the same rule, so that a text
// whose size is known ahead is written once instead of being copied as it grows. False
// only when memory runs out (nothing changed).
bool reserveText(TextBuffer* buffer, size_t extra);
bool appendText(TextBuffer* buffer, const char* piece, size_t length);
void releaseText(TextBuffer* buffer);

// Replaces Config.JvmOptions with the final option text. False after a reported failure,
// with JvmOptions unchanged. Splits Config.ClassPath in place.
bool buildJvmOptions();

// What a step of building the option text came to.
enum class BuildOutcome {
    Done,
    Reported,     // a failure, reported where it was met
    OutOfMemory,  // not reported yet; what was built is incomplete and must not be used
};

enum class ClassPathEntryKind {
    Inaccessible,  // reported
    Directory,
    Other,  // also, under the stored reference rules, any entry holding '%' (not tested)
};
ClassPathEntryKind classifyClassPathEntry(const char* entry);

// Appends every .jar and .zip beneath `directory` (each followed by the class path
// separator), names sorted per directory, each directory visited once even through links.
// Removes one trailing separator from `directory` in place. Done when every listing worked;
// Reported when a listing failed (what was found is kept).
BuildOutcome appendDirectoryArchives(TextBuffer* list, char* directory);

// Appends `text` with every %NAME% replaced: JAVA_HOME by State.DiscoveredJavaHome,
// VARNLET_EXE_DIR by the executable's folder, other names by the environment. What an
// undefined name, "%%" and an unclosed '%' become depends on Config.ModernReferences.
// False only when memory runs out.
bool appendExpanded(TextBuffer* out, const char* text);
// The same into a new heap text; null only when memory runs out.
char* expandEnvironmentReferences(const char* text);
