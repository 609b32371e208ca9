// The process-wide LauncherState.
#include "core/state.h"

LauncherState State;
