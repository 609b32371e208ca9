// Feeds arbitrary bytes, as a PE or an ELF file, to varnlet-pack's readers (resource tree,
// icon, version, configuration section) and packer: none may crash or read outside its
// buffer, and what the packer writes must read back.
#include <cstddef>
#include <cstdint>

#include "elf_section.h"
#include "launcher_file.h"
#include "pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    Bytes file(data, data + size);
    const bool elf = data[0] & 1;  // spend the time past the signature check
    if (elf) {
        file[0] = 0x7F, file[1] = 'E', file[2] = 'L', file[3] = 'F';
    } else {
        file[0] = 'M', file[1] = 'Z';
    }
    LauncherContents contents;
    std::string error;
    readLauncher(file, &contents, &error);
    PackRequest request;
    request.entries[1072] = u"fuzz.jar";
    request.versionStrings.emplace_back(u"ProductName", u"Fuzz");
    if (size % 3 == 0) request.entries[1456] = std::u16string(size % 5000, u'x');  // sometimes grow the section
    Bytes out;
    std::vector<std::string> notes;
    if (packLauncher(file, request, &out, &notes, &error)) {
        if (!readLauncher(out, &contents, &error)) __builtin_trap();
        if (elf && out.size() != file.size()) __builtin_trap();  // an ELF file is rewritten in place
    }
    std::vector<ConfigRecord> records;
    parseConfigSection(data, size, &records, &error);
    std::vector<IconImage> images;
    parseIcoFile(file, &images, &error);
    VersionInfo info;
    parseVersionInfo(file, &info, &error);
    return 0;
}
