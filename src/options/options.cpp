// The JVM options as a list: JvmOptions, the launch options, then the class path option,
// with the %NAME% references of the configured texts expanded.
#include "options/options.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/next_token.h"
#include "core/report.h"
#include "core/state.h"
#include "options/classpath_scan.h"
#include "options/environment_references.h"
#include "options/launch_options.h"
#include "options/split.h"
#include "options/text_buffer.h"
#include "platform/platform.h"

ClassPathEntryKind classifyClassPathEntry(const char* entry) {
    if (!Config.ModernReferences && std::strchr(entry, '%') != nullptr) return ClassPathEntryKind::Other;
    FileKind kind = Platform.files.kind(entry);
    if (kind == FileKind::Missing) {
        reportLastError();
        reportError(message(MsgFileAccess), entry);
        return ClassPathEntryKind::Inaccessible;
    }
    return kind == FileKind::Directory ? ClassPathEntryKind::Directory : ClassPathEntryKind::Other;
}

namespace {

// One configured entry and, after a directory, its archives. References are expanded in
// the configured text only: the names found on disk go on exactly as found, '%' and all.
// Under the stored rules an entry with a reference is expanded but neither tested nor
// scanned; under the modern ones it is expanded first and then treated like any other.
BuildOutcome appendClassPathEntry(TextBuffer* list, char* entry, const char* separator, const char* javaHome) {
    char* expanded = nullptr;
    if (Config.ModernReferences && std::strchr(entry, '%') != nullptr)
        entry = expanded = expandEnvironmentReferences(entry, javaHome);
    ClassPathEntryKind kind = classifyClassPathEntry(entry);
    if (kind != ClassPathEntryKind::Inaccessible) {
        if (!Config.ModernReferences && std::strchr(entry, '%') != nullptr) appendExpanded(list, entry, javaHome);
        else appendText(list, entry);
        appendText(list, separator);
        // A directory that cannot be listed was reported and adds what it could.
        if (kind == ClassPathEntryKind::Directory) appendDirectoryArchives(list, entry);
    }
    std::free(expanded);
    return kind != ClassPathEntryKind::Inaccessible ? BuildOutcome::Done : BuildOutcome::Reported;
}

// JvmOptions cut into options once, then the references expanded inside each, so a value
// with blanks (a folder under "Program Files") or a double quote stays one option.
BuildOutcome addConfiguredOptions(std::vector<std::string>* options, const char* javaHome, const char* library) {
    int count = 0;
    char** tokens = nullptr;
    // Blanks alone give no option (the split would make them one empty option).
    if (!isSet(Config.JvmOptions) || Config.JvmOptions[std::strspn(Config.JvmOptions, " ")] == '\0')
        return BuildOutcome::Done;
    if (!splitArguments(Config.JvmOptions, &count, &tokens)) {
        reportError(message(MsgCreateJvm), library);
        return BuildOutcome::Reported;
    }
    for (int i = 0; i < count; ++i) {
        char* option = expandEnvironmentReferences(tokens[i], javaHome);
        options->push_back(option);
        std::free(option);
        std::free(tokens[i]);
    }
    std::free(tokens);
    return BuildOutcome::Done;
}

// Builds the class path list. Reported: an entry that cannot be accessed.
BuildOutcome buildClassPathList(TextBuffer* list, const char* javaHome) {
    const char separator[2] = {Platform.traits.pathStyle.classPathSeparator, '\0'};
    // An executable jar comes first, as `java -jar` puts it.
    if (isSet(runMainJar())) {
        appendText(list, runMainJar());
        appendText(list, separator);
    }
    const char* classPath = Config.ClassPath;
    std::vector<char> text(classPath, classPath + std::strlen(classPath) + 1);
    char* cursor = nullptr;
    // Only the first entry may also end at a line break.
    for (char* entry = text[0] != '\0' ? nextToken(text.data(), ";\r\n", &cursor) : nullptr; entry != nullptr;
         entry = nextToken(text.data(), ";", &cursor)) {
        BuildOutcome result = appendClassPathEntry(list, entry, separator, javaHome);
        if (result != BuildOutcome::Done) return result;
    }
    return BuildOutcome::Done;
}

}  // namespace

bool buildJvmOptions(const RuntimeChoice& runtime, std::vector<std::string>* options) {
    const char* javaHome = runtime.home.c_str();
    if (addConfiguredOptions(options, javaHome, runtime.library.c_str()) != BuildOutcome::Done ||
        addLaunchOptions(options, javaHome) != BuildOutcome::Done)
        return false;
    if (!isSet(Config.ClassPath) && !isSet(runMainJar())) return true;
    // The class path is assembled straight into its option: a class path of thousands of
    // archives is written once and copied once into the list.
    TextBuffer list{nullptr, 0, 0};
    const size_t prefix = 18;
    appendText(&list, "-Djava.class.path=", prefix);
    bool built = buildClassPathList(&list, javaHome) == BuildOutcome::Done;
    // Every piece ends with a separator; the last one goes. An empty list gives no option.
    if (built && list.length > prefix) options->push_back(std::string(list.text, list.length - 1));
    releaseText(&list);
    return built;
}
