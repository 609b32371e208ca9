// The class data cache: the runtime's own archive of the application's classes, kept per
// user, installation and runtime, made by a start that ended normally and mapped by the
// starts after it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <jni.h>

// Both caches are made after the run from the classes it loaded: a shared archive
// (-XX:SharedArchiveFile), and from Java 25 on the same with its classes linked ahead of time
// (-XX:AOTCache).
enum class ClassDataKind { None, SharedArchive, AotCache };

// What a runtime of this major version keeps: the ahead-of-time cache from Java 25 on,
// a shared archive from Java 13 on, nothing before.
ClassDataKind classDataKindFor(uint32_t major);

// The first option that concerns class sharing (the user's own choice, which wins over
// the cache), or null.
const char* sharingOption(const std::vector<std::string>& options);

// With ClassDataCache set, puts in front of the final JVM options (`options`, every option
// source expanded) those that use or make the cache for the runtime whose JVM library is
// `library`. Never fails the start: whatever stands in the
// way is traced and the application starts as without the cache.
void prepareClassDataCache(const char* library, std::vector<std::string>* options);

// The JVM's exit hook for this run: one that notes the application's exit code and then calls
// State.JvmExitHook, while a cache is used or made; State.JvmExitHook otherwise.
void* classDataCacheExitHook();

// The JVM exists: the cache in use or being made learns how many classes the run loaded.
void classDataCacheJvmCreated(JavaVM* jvm, JNIEnv* env);

// The application's main has returned without an exception.
void classDataCacheMainReturned();

// The process ends in order (a crash never gets here): clears the marker of the cache in
// use, and has a cache assembled from the classes this run loaded, when it makes one (apart,
// in a detached process, unless this is a service). Called after DestroyJavaVM,
// and registered to run at process exit, which follows System.exit. Later calls do nothing.
void finishClassDataCache();
