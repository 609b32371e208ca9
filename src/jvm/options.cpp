// The final JVM option text: JvmOptions, then one quoted class path option, with the
// %NAME% references of the configured texts expanded.
#include "jvm/options.h"

#include <cstdlib>
#include <cstring>

#include "jvm/launch_options.h"
#include "jvm/next_token.h"
#include "core/config.h"
#include "core/report.h"
#include "platform/platform.h"

int classifyClassPathEntry(const char* entry) {
    if (!Config.ModernReferences && std::strchr(entry, '%') != nullptr) return 0;
    uint32_t attributes = Platform.getFileAttributes(entry);
    if (attributes == kInvalidFileAttributes) {
        reportLastError();
        reportError(message(MsgFileAccess), entry);
        return -1;
    }
    return (attributes & kFileAttributeDirectory) != 0 ? 1 : 0;
}

namespace {

// One configured entry and, after a directory, its archives. References are expanded in
// the configured text only: the names found on disk go on exactly as found, '%' and all.
// Under the stored rules an entry with a reference is expanded but neither tested nor
// scanned; under the modern ones it is expanded first and then treated like any other.
int appendClassPathEntry(TextBuffer* list, char* entry, const char* separator) {
    char* expanded = nullptr;
    if (Config.ModernReferences && std::strchr(entry, '%') != nullptr) {
        if ((expanded = expandEnvironmentReferences(entry)) == nullptr) return -1;
        entry = expanded;
    }
    int kind = classifyClassPathEntry(entry);
    int result = kind < 0 ? 0 : 1;
    bool stored = !Config.ModernReferences && std::strchr(entry, '%') != nullptr;
    if (kind >= 0 && (!(stored ? appendExpanded(list, entry) : appendText(list, entry)) || !appendText(list, separator)))
        result = -1;
    if (result > 0 && kind == 1 && appendDirectoryArchives(list, entry) < 0) result = -1;
    std::free(expanded);
    return result;
}

// Builds the class path list. 1 when built; 0 after a reported failure (an entry that
// cannot be accessed); -1 when memory ran out (not reported).
int buildClassPathList(TextBuffer* list) {
    const char separator[2] = {Platform.pathStyle.classPathSeparator, '\0'};
    // An executable jar comes first, as `java -jar` puts it.
    if (isSet(Config.MainJar) && (!appendText(list, Config.MainJar) || !appendText(list, separator))) return -1;
    char* cursor = nullptr;
    // Only the first entry may also end at a line break.
    for (char* entry = isSet(Config.ClassPath) ? nextToken(Config.ClassPath, ";\r\n", &cursor) : nullptr; entry != nullptr;
         entry = nextToken(Config.ClassPath, ";", &cursor)) {
        int result = appendClassPathEntry(list, entry, separator);
        if (result <= 0) return result;
    }
    return 1;
}

}  // namespace

bool buildJvmOptions() {
    // The class path is assembled straight into the option text: a class path of thousands
    // of archives is written once, not copied through several buffers.
    TextBuffer options{nullptr, 0, 0};
    int built = appendExpanded(&options, Config.JvmOptions) ? 1 : -1;
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
    char* text = nullptr;
    if (built > 0) {
        text = options.text != nullptr ? options.text : static_cast<char*>(std::calloc(1, 1));
        options.text = nullptr;
        if (text == nullptr) built = -1;
    }
    releaseText(&options);
    // Running out of memory is reported here, once; an inaccessible entry was reported where found.
    if (built < 0) reportError(message(MsgCreateJvm), Config.JvmPath != nullptr ? Config.JvmPath : "");
    if (built <= 0) return false;
    std::free(Config.JvmOptions);
    Config.JvmOptions = text;
    return true;
}
