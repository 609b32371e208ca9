// The three directories of a run: start-up, executable and working directory.
#pragma once

bool captureStartupDirectory();
bool enterExecutableDirectory();
bool enterWorkingDirectory(bool forceWorkingDir);
