// The process-wide LauncherState and the run's forms of configured texts.
#include "core/state.h"

LauncherState State;

static const char* ownOr(const char* own, const char* configured) { return own != nullptr ? own : configured; }

const char* runClassPath() { return ownOr(State.ClassPath, Config.ClassPath); }
const char* runJvmPath() { return ownOr(State.JvmPath, Config.JvmPath); }
const char* runSystemOutFile() { return ownOr(State.SystemOutFile, Config.SystemOutFile); }
const char* runSystemErrFile() { return ownOr(State.SystemErrFile, Config.SystemErrFile); }
const char* runMainJar() { return ownOr(State.MainJar, Config.MainJar); }
const char* runMainClass() { return ownOr(State.MainClass, Config.MainClass); }
