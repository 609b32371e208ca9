// Feeds arbitrary bytes to the ELF section lookup, the configuration-section reader and
// the Linux packer: none may crash or read outside its buffer.
#include <cstddef>
#include <cstdint>

#include "elf_section.h"
#include "launcher_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes file(data, data + size);
    if (size >= 4) file[0] = 0x7F, file[1] = 'E', file[2] = 'L', file[3] = 'F';
    LauncherContents contents;
    std::string error;
    readLauncher(file, &contents, &error);
    std::vector<ConfigRecord> records;
    parseConfigSection(data, size, &records, &error);
    PackRequest request;
    request.entries[1072] = u"fuzz.jar";
    Bytes out;
    std::vector<std::string> notes;
    if (packLauncher(file, request, &out, &notes, &error)) {
        if (out.size() != file.size() || !readLauncher(out, &contents, &error)) __builtin_trap();
    }
    return 0;
}
