// Command-line dispatch of the service switches, and the launcher's main sequence.
#pragma once

bool dispatchCommandLine(int argc, char** argv);
// The whole run; main() only forwards to it so tests can drive it.
int launcherMain(int argc, char** argv);
