// The start-up and executable directories of a run (the working directory is core/working_directory.h).
#pragma once

bool captureStartupDirectory();
bool enterExecutableDirectory();
