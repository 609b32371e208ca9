// Reading one entry of a jar (a ZIP archive): the manifest, or a splash image it names.
#pragma once
#include <cstdint>
#include <string>

enum class JarEntryRead { Found, Missing, CannotOpen, Damaged };

// Reads entry `name` of the jar at `path` into `data`. CannotOpen leaves the system's last
// error set; Damaged means the file is not a ZIP archive this reader can follow (no end
// record, a directory or entry outside the file, encryption, an unknown method, a bad
// deflate stream or checksum, an entry above 64 MiB). `ignoreCase` matches names with ASCII case ignored
// when no name matches exactly. Of two entries with one name the last counts; without
// `verifyChecksum` a wrong checksum passes (`java -jar` does not check the manifest's).
// The bytes come from `readAt`, which has the contract of the platform table's readFileAt
// (the launcher passes that; varnlet-pack, which links no platform layer, its own reader).
using FileReadAt = bool (*)(const char* path, uint64_t offset, void* buffer, uint32_t size, uint32_t* got,
                            uint64_t* fileSize);
JarEntryRead readJarEntry(FileReadAt readAt, const char* path, const char* name, bool ignoreCase, std::string* data,
                          bool verifyChecksum = true);
