// The working directory of a run and the report of a file or directory that cannot be used.
#pragma once

// Enters WorkingDir, or the start-up directory when UseStartupDir is set (unless forced).
bool enterWorkingDirectory(bool forceWorkingDir);
// Reports the system's text and message 1456 for `object`; returns false.
bool reportFileAccessFailure(const char* object);
