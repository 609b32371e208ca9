// Command-line dispatch of the service switches, and the launcher's main sequence.
#pragma once

// True when the command line was a service switch and has been dealt with; `exitCode` then
// receives the process's exit code: 0 when the operation was carried out (the table of
// docs/GUIDE.md).
bool dispatchCommandLine(int argc, char** argv, int* exitCode);
// The whole run; main() only forwards to it so tests can drive it.
int launcherMain(int argc, char** argv);
