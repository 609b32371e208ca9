// varnlet-pack: makes an application's launcher from a launcher body and reads one back.
#include <iostream>
#include <string>
#include <vector>

#include "pack_commands.h"
#include "stub_lookup.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return runPack(args, currentToolPath(argc > 0 ? argv[0] : nullptr), std::cout, std::cerr);
}
