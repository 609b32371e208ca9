// Rules for the values an application may store in its launcher entries, and the
// conversions from what a user writes to what the launcher reads.
#pragma once
#include <cstdint>
#include <string>

#include "entries/entries.h"

// Scrambles a main class name with the launcher's key: two capital hex digits per byte.
std::string scrambleMainClass(const std::string& name);
// A message format holds at most one conversion, "%s"; "%%" is a literal percent.
bool checkMessageFormat(const std::string& text, std::string* error);
bool checkMainClass(const std::string& name, std::string* error);
// The launcher reads at most 1023 characters (UTF-16 code units, as the entries store them)
// on every target.
bool checkTextLength(const std::string& utf8, std::string* error);
// A major version ("17"), major.minor ("1.8", "17.0") or a hexadecimal number with its prefix
// ("0x00010008", stored as written); the stored text on success.
bool convertMinJavaVersion(const std::string& text, std::string* stored, std::string* error);
std::string hexVersionText(uint32_t value);
// A Number entry with a range of its own (not the whole 32 bits), which messages name.
bool hasOwnRange(const EntryInfo& info);
// An entry a Linux launcher has no use for (the registry search, service settings systemd
// units do not have); *warn: building a Linux launcher with it set warns.
bool windowsOnlyEntry(unsigned id, bool* warn = nullptr);
// A name the service manager takes for a service (ServiceDependencies items).
bool checkServiceName(const std::string& name, std::string* error);
// The accounts a service may run as without a stored password (ServiceAccount).
// A Windows service account the launcher can install without a password, or on Linux a
// system user with an optional group ("user" or "user:group") for the unit's User=/Group=.
bool checkServiceAccount(const std::string& account, const std::string& target, std::string* error);
// A mutex name Windows takes: a backslash only to end a "Global\" or "Local\" prefix, which a
// name must follow; at most kMutexNameMax bytes (a file name on Linux, with its ".lock").
constexpr size_t kMutexNameMax = 240;
bool checkMutexName(const std::string& name, std::string* error);
// MainJar names a jar: a ".jar" file name, and when `file` (the name resolved beside the
// configuration) exists, a ZIP archive the launcher can read.
bool checkMainJar(const std::string& name, const std::string& file, std::string* error);
// MainModule is "module" or "module/class", each a dotted Java name.
bool checkMainModule(const std::string& text, std::string* error);
