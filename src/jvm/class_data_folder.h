// The folder of a class data cache, for the files that make and use a cache: the record of
// this process's work on a cache, the names of the folder's files, the slot's pointer, the
// folder's lock, and putting a cache in place. Every file of a cache is named "cds-SLOT-PID..."
// after the process that made it: what a process that ended left unfinished is found by its
// number and removed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "jvm/class_data_cache.h"

// The slot's pointer file "cds-SLOT.key": the cache's name, "size time classes wanted", and the
// key it was made for.
struct CachePointer {
    std::string name, key;
    uint64_t size = 0, time = 0;
    long long classes = -1, wanted = 0;  // -1: not counted; wanted: a new cache asked for
};

// This process's work on a cache: the one its run uses or makes, or the one it assembles for
// the run that made the list of classes.
struct ClassDataRun {
    bool making, using_, mainReturned, exitHooked;
    int exitCode;
    long long classes;  // loaded by the time the JVM ended; -1 unknown
    ClassDataKind kind;
    std::string folder, slot, written, finalName, key, home, marker;
    CachePointer pointer;  // the slot's, as this start found it
    std::vector<std::string> options;  // the final ones, for the assembling step
};
extern ClassDataRun CacheRun;

bool endsWith(const std::string& name, const char* tail);
std::string inFolder(const std::string& folder, const std::string& name);
// "cds-SLOT-PID" and the suffix, PID this process's number; ownPath: in the folder.
std::string ownName(const char* suffix);
std::string ownPath(const char* suffix);
std::string pointerPath();

// The slot's pointer as its file holds it; false when there is none or it is malformed.
bool readPointer(CachePointer* p);
// Writes the slot's pointer whole, by a rename; under the folder's lock.
bool writePointer(const CachePointer& p);
// The folder's lock, a file made only when it does not exist. It is held for a few renames:
// one still there after half a second was left by a start that ended while holding it.
bool takeFolderLock(const std::string& lock);

// What processes that ended left: their temporary files go, and a marker of a start that
// used this slot's cache and crashed retires that cache (it may be what crashed it). True
// when a running process is making this slot's cache.
bool sweepFolder();
// The slot's cache when it is there as it was made, private and made for this key; empty
// otherwise, with the reason traced.
std::string usableCache();
// A file the JVM or the runtime's java will write, made now (never through a link) so a
// folder that cannot be written costs nothing later.
bool claim(const std::string& path);
// One process at a time puts its cache in place, names it in the pointer and removes the
// older files: two finishing at once would otherwise each remove the cache the other had just
// put in place, and the pointer would name a removed file.
void keepCache(const std::string& made, const std::string& finalName, long long classes);
