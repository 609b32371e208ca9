// The class data cache: the runtime's own archive of the application's classes, kept per
// user and application, made by the first start and mapped by the starts after it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class ClassDataKind { None, DynamicArchive, AotCache };

// What a runtime of this major version keeps: the ahead-of-time cache from Java 25 on,
// a dynamic archive from Java 13 on, nothing before.
ClassDataKind classDataKindFor(uint32_t major);

// The first option that concerns class sharing (the user's own choice, which wins over
// the cache), or null.
const char* sharingOption(const std::vector<std::string>& options);

// With ClassDataCache set, puts in front of the option text `*optionText` (a heap text it may
// replace) the options that use or make the cache for the runtime whose JVM library is
// `library`. Never fails the start: whatever stands in the way is traced and the
// application starts as without the cache.
void prepareClassDataCache(const char* library, char** optionText);

// Keeps what the JVM wrote for a cache this run makes, once the JVM is gone: called after
// DestroyJavaVM, and registered to run at process exit, which follows System.exit. Later
// calls do nothing.
void finishClassDataCache();
