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
    TextBuffer options{nullptr, 0, 0};
    TextBuffer list{nullptr, 0, 0};
    bool result = appendText(&options, Config.JvmOptions);
    if (result && Config.ClassPath != nullptr && Config.ClassPath[0] != '\0') {
        result = buildClassPathList(&list);
        if (result && list.length > 0) {
            // Every piece ends with a separator; the last one goes.
            list.text[--list.length] = '\0';
            result = appendText(&options, " \"-Djava.class.path=") && appendText(&options, list.text, list.length) &&
                     appendText(&options, "\"");
        }
    }
    char* expanded = nullptr;
    if (result) {
        expanded = expandEnvironmentReferences(options.text != nullptr ? options.text : "");
        result = expanded != nullptr;
    }
    if (result) {
        std::free(Config.JvmOptions);
        Config.JvmOptions = expanded;
    }
    releaseText(&options);
    releaseText(&list);
    return result;
}
