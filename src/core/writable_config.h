// Write access to the process-wide configuration, for its loader and for tests that set
// entries by hand; the rest of the program reads the configuration through Config.
#pragma once

#include "core/config.h"

LauncherConfig& writableConfig();
