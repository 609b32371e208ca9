// Making a class data cache from the list of the classes a run loaded: the runtime's own java
// command archives them, in a detached process of low priority, so the application's process
// ends at its normal time, or, for a service, before its process ends.
#pragma once

// The variable that makes the launcher the detached process assembling a cache.
extern const char kClassDataJobVariable[];

// The run that listed its classes in CacheRun.written has ended normally: has the cache made
// from them and kept.
void assembleClassDataCache();

// The detached process's work: assembles the cache that `prefix` (the value of
// kClassDataJobVariable) names a job for, and keeps it. Its exit code.
int runClassDataJob(const char* prefix);
