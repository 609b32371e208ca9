// The start-up and executable directories of a run (the working directory is core/working_directory.h).
#pragma once

bool captureStartupDirectory();
bool enterExecutableDirectory();
// With StayInStartupDir: anchors the configured paths to the executable's directory and
// goes back to the start-up directory for the rest of the run. False after a report.
bool returnToStartupDirectory();
