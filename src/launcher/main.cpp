// Entry point of the launcher executable.
#include "launcher/command_line.h"
#include "launcher/dispatch.h"

#if defined(_WIN32)
// The launcher splits the command line itself (launcher/command_line.h): the runtime's own
// expansion would expand a quoted wildcard too, and its work would be thrown away.
int _dowildcard = 0;
#endif

int main(int argc, char** argv) {
    launcherArguments(&argc, &argv);
    return launcherMain(argc, argv);
}
