// Feeds arbitrary bytes to the PE reader, the resource tree, the icon and version parsers
// and the packer: none may crash or read outside its buffer.
#include <cstddef>
#include <cstdint>

#include "launcher_file.h"
#include "pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes file(data, data + size);
    if (size >= 2) file[0] = 'M', file[1] = 'Z';  // spend the time past the signature check
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
        // What the packer writes must read back.
        if (!readLauncher(out, &contents, &error)) __builtin_trap();
    }
    std::vector<IconImage> images;
    parseIcoFile(file, &images, &error);
    VersionInfo info;
    parseVersionInfo(file, &info, &error);
    return 0;
}
