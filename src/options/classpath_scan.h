// The class path's entries: which are directories, and the archives a directory holds.
#pragma once
#include "options/options.h"
#include "options/text_buffer.h"

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
