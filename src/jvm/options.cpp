// The final JVM option text: JvmOptions, then one quoted class path option, then
// environment references expanded over the whole.
#include "jvm/options.h"

#include <cstdlib>
#include <cstring>

#include "jvm/next_token.h"
#include "launcher/config.h"
#include "launcher/report.h"
#include "platform/platform.h"

int classifyClassPathEntry(const char* entry) {
    if (std::strchr(entry, '%') != nullptr) return 0;
    uint32_t attributes = Platform.getFileAttributes(entry);
    if (attributes == kInvalidFileAttributes) {
        reportLastError();
        reportError(message(MsgFileAccess), entry);
        return -1;
    }
    return (attributes & kFileAttributeDirectory) != 0 ? 1 : 0;
}

namespace {

// Builds the class path list: each entry, and after a directory its archives. False after
// a reported failure (an entry that cannot be accessed, or memory).
bool buildClassPathList(TextBuffer* list) {
    const char separator[2] = {Platform.pathStyle.classPathSeparator, '\0'};
    char* cursor = nullptr;
    // Only the first entry may also end at a line break.
    for (char* entry = nextToken(Config.ClassPath, ";\r\n", &cursor); entry != nullptr;
         entry = nextToken(Config.ClassPath, ";", &cursor)) {
        int kind = classifyClassPathEntry(entry);
        if (kind < 0) return false;
        if (!appendText(list, entry) || !appendText(list, separator)) return false;
        if (kind == 1) appendDirectoryArchives(list, entry);
    }
    return true;
}

}  // namespace

bool buildJvmOptions() {
    // The class path is assembled straight into the option text, and a text without any
    // reference is handed over as it is: a class path of thousands of archives is then
    // written once, not copied through three buffers.
    TextBuffer options{nullptr, 0, 0};
    bool result = appendText(&options, Config.JvmOptions);
    if (result && Config.ClassPath != nullptr && Config.ClassPath[0] != '\0') {
        size_t withoutClassPath = options.length;
        result = appendText(&options, " \"-Djava.class.path=");
        size_t listStart = options.length;
        result = result && buildClassPathList(&options);
        if (result && options.length > listStart) {
            // Every piece ends with a separator; the last one goes.
            options.text[--options.length] = '\0';
            result = appendText(&options, "\"");
        } else if (result) {
            options.length = withoutClassPath;
            options.text[withoutClassPath] = '\0';
        }
    }
    char* expanded = nullptr;
    if (result) {
        if (options.text != nullptr && std::strchr(options.text, '%') == nullptr) {
            expanded = options.text;
            options.text = nullptr;
        } else {
            expanded = expandEnvironmentReferences(options.text != nullptr ? options.text : "");
        }
        result = expanded != nullptr;
    }
    if (result) {
        std::free(Config.JvmOptions);
        Config.JvmOptions = expanded;
    }
    releaseText(&options);
    return result;
}
