// The working directory of a run and the report of a file or directory that cannot be used.
#pragma once
#include <cstddef>

// Where a run works: where it already is, WorkingDir, or the start-up directory.
enum class WorkingDirectoryChoice { Unchanged, WorkingDir, StartupDir };
// WorkingDir (when set), or the start-up directory when UseStartupDir is set (unless forced);
// with StayInStartupDir the process is already where it belongs.
WorkingDirectoryChoice workingDirectoryChoice(bool forceWorkingDir);
// Enters the directory workingDirectoryChoice names.
// With StayInStartupDir the process is already where it belongs, and nothing changes.
bool enterWorkingDirectory(bool forceWorkingDir);
// Reports the system's text and MsgFileAccess for `object`; returns false.
bool reportFileAccessFailure(const char* object);

// The folder of the running executable, made from its module path (a drive's root keeps its
// separator). False, reporting nothing, when the path cannot be read or does not fit.
bool executableDirectory(char* buffer, size_t size);
