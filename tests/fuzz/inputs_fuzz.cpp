// Feeds arbitrary bytes to the readers of outside input: varnlet-pack's readers (resource
// tree, icon, version, configuration section) and packer, given the bytes as a PE or an ELF
// file, and the option texts' argument splitting and in-place tokenizer. None may crash or read
// outside its buffer; what the packer writes must read back; every argument comes from the
// text; the tokenizer's tokens lie inside the text, free of their call's separators (sets that
// change between calls), and its walk ends; the jar reader and the manifest reader take any
// bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "elf_section.h"
#include "invoke/split.h"
#include "jvm/jar_file.h"
#include "jvm/jar_manifest.h"
#include "jvm/next_token.h"
#include "platform/platform.h"
#include "launcher_file.h"
#include "pe_image.h"

namespace {

void launcherFile(const uint8_t* data, size_t size) {
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
}

void split(const std::string& text) {
    int count = -1;
    char** vector = nullptr;
    if (!splitArguments(text.c_str(), &count, &vector)) __builtin_trap();
    if (count < 0 || (count == 0) != (vector == nullptr) || static_cast<size_t>(count) > text.size() + 1) __builtin_trap();
    size_t total = 0;
    for (int i = 0; i < count; ++i) {
        size_t n = std::strlen(vector[i]);
        total += n;
        if (n > 0 && text.find(std::string(vector[i], n)) == std::string::npos) __builtin_trap();  // quotes dropped only
        std::free(vector[i]);
    }
    if (total > text.size()) __builtin_trap();
    std::free(vector);
}

void tokens(const std::string& given, unsigned pick) {
    const char sets[4][4] = {";", ";\r\n", " \t", ":;/"};
    std::string text = given;
    char* begin = text.data();
    char* end = begin + text.size();
    char* cursor = nullptr;
    for (size_t calls = 0; calls <= text.size() + 1; ++calls) {
        const char* separators = sets[(pick >> (2 * (calls % 8))) & 3];
        char* token = nextToken(begin, separators, &cursor);
        if (token == nullptr) {
            if (cursor != nullptr) __builtin_trap();
            return;
        }
        size_t n = std::strlen(token);
        if (token < begin || token + n > end || n == 0 || std::strpbrk(token, separators) != nullptr) __builtin_trap();
        if (cursor == nullptr || cursor < begin || cursor > end) __builtin_trap();
    }
    __builtin_trap();  // the walk did not end
}

const uint8_t* jarBytes;
size_t jarSize;

bool readJarBytes(const char*, uint64_t offset, void* buffer, uint32_t size, uint32_t* got, uint64_t* fileSize) {
    *fileSize = jarSize;
    *got = offset >= jarSize ? 0 : static_cast<uint32_t>(jarSize - offset < size ? jarSize - offset : size);
    if (*got) std::memcpy(buffer, jarBytes + offset, *got);
    return true;
}

void jar(const uint8_t* data, size_t size) {
    jarBytes = data;
    jarSize = size;
    std::string entry, value;
    if (readJarEntry(readJarBytes, "fuzz.jar", "META-INF/MANIFEST.MF", true, &entry) == JarEntryRead::Found && entry.size() > (64u << 20))
        __builtin_trap();
    manifestAttribute(std::string(reinterpret_cast<const char*>(data), size), "Main-Class", &value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    launcherFile(data, size);
    jar(data, size);
    // The first two bytes choose the tokenizer's separator sets; the rest, up to a zero byte as
    // in the launcher's texts, is the text.
    std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    text = text.c_str();
    split(text);
    tokens(text, data[0] | (data[1] << 8));
    return 0;
}
