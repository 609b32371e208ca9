// The process-wide LauncherState.
#include "launcher/state.h"

LauncherState State;
