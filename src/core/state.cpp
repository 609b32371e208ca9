// The process-wide LauncherState and the run's forms of configured texts.
#include "core/state.h"

LauncherState State;

static const char* ownOr(const char* own, const char* configured) { return own != nullptr ? own : configured; }

const char* runMainJar() { return ownOr(State.MainJar, Config.MainJar); }
const char* runMainClass() { return ownOr(State.MainClass, Config.MainClass); }
