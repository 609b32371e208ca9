// Entry point of the launcher executable.
#include "launcher/dispatch.h"

#if defined(_WIN32)
// Have the runtime's start-up code expand wildcard arguments (in the start-up directory).
int _dowildcard = -1;
#endif

int main(int argc, char** argv) { return launcherMain(argc, argv); }
