// The libFuzzer targets over the readers of outside input, in one program: the environment
// variable VARNLET_FUZZ_TARGET names the one a run feeds. Beside not crashing and not reading
// or writing outside its buffers, each reader must hold the properties its function checks.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "core/writable_config.h"
#include "elf_section.h"
#include "options/split.h"
#include "options/argument_files.h"
#include "options/environment_references.h"
#include "runtimes/installed_runtimes.h"
#include "archive/jar_file.h"
#include "archive/jar_manifest.h"
#include "core/next_token.h"
#include "launcher_file.h"
#include "pe_image.h"
#include "platform/profile_text.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

#define CHECK(condition) \
    if (!(condition)) __builtin_trap()

namespace {

std::string textOf(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

std::vector<std::string> cutAtBlanks(const std::string& text, const char* blanks) {
    std::vector<std::string> words;
    for (size_t at = text.find_first_not_of(blanks); at != std::string::npos;) {
        size_t end = text.find_first_of(blanks, at);
        words.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? end : text.find_first_not_of(blanks, end);
    }
    return words;
}

// Argument files (@file) and JDK_JAVA_OPTIONS: no argument of a file is empty or longer in
// all than the text; a text without quotes, backslashes or '#' is cut at its blanks, and only
// there, by both readers.
void argumentFiles(const uint8_t* data, size_t size) {
    const std::string text = textOf(data, size), variable = text.c_str();  // a variable ends at a zero
    const std::vector<std::string> file = splitArgumentFileText(text);
    size_t total = 0;
    for (const std::string& argument : file) {
        CHECK(!argument.empty());
        total += argument.size();
    }
    CHECK(total <= text.size());
    std::vector<std::string> options;
    const bool split = splitEnvironmentText(variable.c_str(), &options);
    if (text.find_first_of("\"'#\\") != std::string::npos) return;
    CHECK(file == cutAtBlanks(text, " \t\f\r\n"));
    CHECK(split && options == cutAtBlanks(variable, " \t\f\r\n\v"));
}

// INI files: the section and key asked for, each ended by a zero byte, then the file. A value
// never holds a line break, and the profile call's copy of it fills a buffer of any size
// without passing its end.
void iniFiles(const uint8_t* data, size_t size) {
    const std::string input = textOf(data, size);
    const size_t sectionEnd = input.find('\0');
    const size_t keyEnd = sectionEnd == std::string::npos ? sectionEnd : input.find('\0', sectionEnd + 1);
    if (keyEnd == std::string::npos) return;
    std::string value;
    if (!findProfileValue(input.substr(keyEnd + 1), input.c_str(), input.c_str() + sectionEnd + 1, &value)) return;
    CHECK(value.find('\n') == std::string::npos);
    const uint32_t bufferSize = static_cast<uint32_t>(size % 24);
    char* buffer = static_cast<char*>(std::malloc(bufferSize + (bufferSize == 0)));
    const uint32_t copied = copyProfileValue(value, buffer, bufferSize);
    CHECK(bufferSize == 0 || (copied == std::min<size_t>(value.size(), bufferSize - 1) && buffer[copied] == '\0' && value.compare(0, copied, buffer, copied) == 0));
    std::free(buffer);
}

// varnlet-pack's readers of a launcher body (resource tree, icon, version information,
// configuration section) and its packer, given any bytes as a PE or an ELF file: what the
// packer writes reads back, and an ELF file is rewritten in place.
void launcherFiles(const uint8_t* data, size_t size) {
    if (size < 4) return;
    Bytes file(data, data + size);
    const bool elf = data[0] & 1;  // spend the time past the signature check
    if (elf) file[0] = 0x7F, file[1] = 'E', file[2] = 'L', file[3] = 'F';
    else file[0] = 'M', file[1] = 'Z';
    LauncherContents contents;
    std::string error;
    readLauncher(file, &contents, &error);
    PackRequest request;
    request.entries[kEntryClassPath] = u"fuzz.jar";
    request.versionStrings.emplace_back(u"ProductName", u"Fuzz");
    if (size % 3 == 0) request.entries[kEntryMsgFileAccess] = std::u16string(size % 5000, u'x');  // sometimes grow the section
    Bytes out;
    std::vector<std::string> notes;
    if (packLauncher(file, request, &out, &notes, &error))
        CHECK(readLauncher(out, &contents, &error) && (!elf || out.size() == file.size()));
    std::vector<ConfigRecord> records;
    parseConfigSection(data, size, &records, &error);
    std::vector<IconImage> images;
    parseIcoFile(file, &images, &error);
    VersionInfo info;
    parseVersionInfo(file, &info, &error);
}

const uint8_t* jarBytes;
size_t jarSize;

bool readJarBytes(const char*, uint64_t offset, void* buffer, uint32_t size, uint32_t* got, uint64_t* fileSize) {
    *fileSize = jarSize;
    *got = offset >= jarSize ? 0 : static_cast<uint32_t>(jarSize - offset < size ? jarSize - offset : size);
    if (*got) std::memcpy(buffer, jarBytes + offset, *got);
    return true;
}

// A jar and its manifest, the same bytes as either: an entry read is within its limit, a
// value never holds a line break.
void manifest(const uint8_t* data, size_t size) {
    jarBytes = data, jarSize = size;
    std::string entry, value;
    if (readJarEntry(readJarBytes, "fuzz.jar", "META-INF/MANIFEST.MF", true, &entry) == JarEntryRead::Found)
        CHECK(entry.size() <= (64u << 20));
    const std::string text = textOf(data, size);
    for (const char* name : {"Main-Class", "Launcher-Agent-Class", "SplashScreen-Image"})
        CHECK(!manifestAttribute(text, name, &value) || value.find_first_of("\r\n") == std::string::npos);
    manifestReadable(text);
}

// The configured option texts (after two bytes that choose the tokenizer's separator sets, up
// to a zero byte as in the launcher): every argument comes from the text, one without quotes
// is cut at every space (leading ones skipped, a last one ending nothing); the path tokenizer's
// tokens lie inside the text, free of their call's separators (sets that change between
// calls), and its walk ends.
void optionTexts(const uint8_t* data, size_t size) {
    if (size < 2) return;
    std::string text = textOf(data + 2, size - 2).c_str();
    int count = -1;
    char** vector = nullptr;
    CHECK(splitArguments(text.c_str(), &count, &vector));
    CHECK(count >= 0 && (count == 0) == (vector == nullptr) && static_cast<size_t>(count) <= text.size() + 1);
    size_t total = 0;
    std::vector<std::string> got;
    for (int i = 0; i < count; ++i) {
        got.emplace_back(vector[i]);
        total += got.back().size();
        CHECK(got.back().empty() || text.find(got.back()) != std::string::npos);  // quotes dropped only
        std::free(vector[i]);
    }
    CHECK(total <= text.size());
    std::free(vector);
    if (!text.empty() && text.find('"') == std::string::npos) {
        std::istringstream rest(text.substr(std::min(text.find_first_not_of(' '), text.size())));
        std::vector<std::string> pieces(rest.str().empty());  // blanks alone: one empty argument
        for (std::string piece; std::getline(rest, piece, ' ');) pieces.push_back(piece);
        CHECK(got == pieces);
    }
    const char sets[4][4] = {";", ";\r\n", " \t", ":;/"};
    const unsigned pick = data[0] | data[1] << 8;
    char *begin = text.data(), *end = begin + text.size(), *cursor = nullptr;
    for (size_t calls = 0; calls <= text.size() + 1; ++calls) {
        const char* separators = sets[(pick >> (2 * (calls % 8))) & 3];
        char* token = nextToken(begin, separators, &cursor);
        CHECK(token != nullptr || cursor == nullptr);
        if (token == nullptr) return;
        size_t n = std::strlen(token);
        CHECK(token >= begin && token + n <= end && n > 0 && std::strpbrk(token, separators) == nullptr);
        CHECK(cursor != nullptr && cursor >= begin && cursor <= end);
    }
    __builtin_trap();  // the walk did not end
}

// %NAME% references by either rule set (the first byte chooses), among names whose values
// hold no '%' (set below): a text without '%' stays as it is; the first rules leave no '%',
// today's add none.
void references(const uint8_t* data, size_t size) {
    if (size < 1) return;
    writableConfig().ModernReferences = data[0] & 1;
    const std::string text = textOf(data + 1, size - 1).c_str();
    char* expanded = expandEnvironmentReferences(text.c_str(), "/opt/fuzz jdk/");
    CHECK(expanded != nullptr);
    const std::string out = expanded;
    std::free(expanded);
    const auto percents = [](const std::string& s) { return std::count(s.begin(), s.end(), '%'); };
    CHECK(percents(text) > 0 || out == text);
    CHECK(Config.ModernReferences ? percents(out) <= percents(text) : percents(out) == 0);
}

// A runtime's `release` file, read into a buffer of the size the first byte gives (a version
// that fits, unquoted, that its JAVA_VERSION line names, or none), and the header of its JVM
// library; each in a block of exactly its bytes.
void releaseFiles(const uint8_t* data, size_t size) {
    if (size < 1) return;
    const size_t versionSize = 1 + data[0] % 32, length = size - 1;
    char* text = static_cast<char*>(std::malloc(length + (length == 0)));
    std::memcpy(text, data + 1, length);
    char* version = static_cast<char*>(std::malloc(versionSize));
    if (parseReleaseVersion(text, length, version, versionSize)) {
        const std::string file(text, length), found = version;
        CHECK(!found.empty() && found.size() < versionSize && found.find('"') == std::string::npos);
        CHECK(file.find("JAVA_VERSION=" + found) != std::string::npos ||
              file.find("JAVA_VERSION=\"" + found + "\"") != std::string::npos);
    }
    libraryMismatch(reinterpret_cast<const unsigned char*>(text), length);
    std::free(version);
    std::free(text);
}

const struct { const char* name; void (*feed)(const uint8_t* data, size_t size); } kTargets[] = {
    {"argumentFiles", argumentFiles}, {"iniFiles", iniFiles},       {"launcherFiles", launcherFiles},
    {"manifest", manifest},           {"optionTexts", optionTexts}, {"references", references},
    {"releaseFiles", releaseFiles}};
void (*target)(const uint8_t* data, size_t size);

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* name = getenv("VARNLET_FUZZ_TARGET");
    for (const auto& known : kTargets)
        if (name != nullptr && std::strcmp(name, known.name) == 0) target = known.feed;
    if (target == nullptr) std::fprintf(stderr, "VARNLET_FUZZ_TARGET names none of the targets\n"), std::exit(2);
    clearenv();
    setenv("A", "a", 1);
    setenv("EMPTY", "", 1);
    setenv("DIR", "/opt/app/", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    target(data, size);
    return 0;
}
