// The final JVM option text: JvmOptions, then one quoted class path option, then
// environment references expanded over the whole.
#include "jvm/options.h"

#include <cstdlib>
#include <cstring>

#include "jvm/launch_options.h"
#include "jvm/next_token.h"
#include "core/config.h"
#include "core/report.h"
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

// Builds the class path list: each entry, and after a directory its archives (a listing
// that fails is reported there and the rest is kept). 1 when built; 0 after a reported
// failure (an entry that cannot be accessed); -1 when memory ran out (not reported).
int buildClassPathList(TextBuffer* list) {
    const char separator[2] = {Platform.pathStyle.classPathSeparator, '\0'};
    // An executable jar comes first, as `java -jar` puts it.
    if (isSet(Config.MainJar) && (!appendText(list, Config.MainJar) || !appendText(list, separator))) return -1;
    char* cursor = nullptr;
    // Only the first entry may also end at a line break.
    for (char* entry = isSet(Config.ClassPath) ? nextToken(Config.ClassPath, ";\r\n", &cursor) : nullptr; entry != nullptr;
         entry = nextToken(Config.ClassPath, ";", &cursor)) {
        int kind = classifyClassPathEntry(entry);
        if (kind < 0) return 0;
        if (!appendText(list, entry) || !appendText(list, separator)) return -1;
        if (kind == 1 && appendDirectoryArchives(list, entry) < 0) return -1;
    }
    return 1;
}

}  // namespace

bool buildJvmOptions() {
    // The class path is assembled straight into the option text, and a text without any
    // reference is handed over as it is: a class path of thousands of archives is then
    // written once, not copied through three buffers.
    TextBuffer options{nullptr, 0, 0};
    int built = appendText(&options, Config.JvmOptions) ? 1 : -1;
    if (built > 0) built = appendLaunchOptions(&options);
    if (built > 0 && (isSet(Config.ClassPath) || isSet(Config.MainJar))) {
        size_t withoutClassPath = options.length;
        built = appendText(&options, " \"-Djava.class.path=") ? 1 : -1;
        size_t listStart = options.length;
        if (built > 0) built = buildClassPathList(&options);
        if (built > 0 && options.length > listStart) {
            // Every piece ends with a separator; the last one goes.
            options.text[--options.length] = '\0';
            built = appendText(&options, "\"") ? 1 : -1;
        } else if (built > 0) {
            options.length = withoutClassPath;
            options.text[withoutClassPath] = '\0';
        }
    }
    char* expanded = nullptr;
    if (built > 0) {
        if (options.text != nullptr && std::strchr(options.text, '%') == nullptr) {
            expanded = options.text;
            options.text = nullptr;
        } else {
            expanded = expandEnvironmentReferences(options.text != nullptr ? options.text : "");
        }
        if (expanded == nullptr) built = -1;
    }
    releaseText(&options);
    // Running out of memory is reported here, once; an inaccessible entry was reported where found.
    if (built < 0) reportError(message(MsgCreateJvm), Config.JvmPath != nullptr ? Config.JvmPath : "");
    if (built <= 0) return false;
    std::free(Config.JvmOptions);
    Config.JvmOptions = expanded;
    return true;
}
