// One running instance per application: a named mutex marks the first.
#pragma once
#include <cstddef>

// The mutex name for an executable: "Varnlet-" and a hash of the file's identity, so copies
// in other folders get names of their own and every path to one file gets the same. When the
// system cannot tell the identity, a hash of the path (letters folded where the OS ignores
// their case).
void instanceMutexName(const char* executablePath, char* name, size_t size);
// False when SingleInstance is set and another instance runs (reported) or the mutex cannot
// be created (reported); true otherwise.
bool claimSingleInstance();
