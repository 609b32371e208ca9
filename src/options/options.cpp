// The final JVM option text: JvmOptions, then one quoted class path option, with the
// %NAME% references of the configured texts expanded.
#include "options/options.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/allocation.h"
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

// Whether `option`, written into the option text as it is, comes out of the final split as
// itself: it does not start with a double quote, and its quotes pair up around its blanks.
bool splitsWhole(const char* option) {
    bool quoting = false;
    for (const char* p = option; *p != '\0'; ++p) {
        if (*p == '"') quoting = !quoting;
        else if (*p == ' ' && !quoting) return false;
    }
    return option[0] != '"' && !quoting;
}

// One option of JvmOptions, its references expanded, into the text: in quotes, which the
// final split takes off again; one holding a double quote of its own goes in as written, and
// is refused where the split would cut it.
BuildOutcome appendOption(TextBuffer* options, const char* option, const char* library) {
    if (std::strchr(option, '"') == nullptr) {
        appendText(options, " \"");
        appendText(options, option);
        appendText(options, "\"");
    } else if (splitsWhole(option)) {
        appendText(options, " ");
        appendText(options, option);
    } else {
        std::string why = std::string(library) + " (the option " + option +
                          " cannot be passed whole: its double quotes do not pair up around its blanks)";
        reportError(message(MsgCreateJvm), why.c_str());
        return BuildOutcome::Reported;
    }
    return BuildOutcome::Done;
}

// JvmOptions cut into options first, then the references expanded inside each, so a value
// with blanks (a folder under "Program Files") stays one option.
BuildOutcome appendConfiguredOptions(TextBuffer* options, const char* javaHome, const char* library) {
    int count = 0;
    char** tokens = nullptr;
    // Blanks alone give no option (the split would make them one empty option).
    if (!isSet(Config.JvmOptions) || Config.JvmOptions[std::strspn(Config.JvmOptions, " ")] == '\0')
        return BuildOutcome::Done;
    if (!splitArguments(Config.JvmOptions, &count, &tokens)) {
        reportError(message(MsgCreateJvm), library);
        return BuildOutcome::Reported;
    }
    BuildOutcome result = BuildOutcome::Done;
    for (int i = 0; i < count && result == BuildOutcome::Done; ++i) {
        char* option = expandEnvironmentReferences(tokens[i], javaHome);
        result = appendOption(options, option, library);
        std::free(option);
    }
    for (int i = 0; i < count; ++i) std::free(tokens[i]);
    std::free(tokens);
    return result;
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

char* buildJvmOptions(const RuntimeChoice& runtime) {
    // The class path is assembled straight into the option text: a class path of thousands
    // of archives is written once, not copied through several buffers.
    TextBuffer options{nullptr, 0, 0};
    const char* javaHome = runtime.home.c_str();
    BuildOutcome built = appendConfiguredOptions(&options, javaHome, runtime.library.c_str());
    if (built == BuildOutcome::Done) built = appendLaunchOptions(&options, javaHome);
    if (built == BuildOutcome::Done && (isSet(Config.ClassPath) || isSet(runMainJar()))) {
        size_t withoutClassPath = options.length;
        appendText(&options, " \"-Djava.class.path=");
        size_t listStart = options.length;
        built = buildClassPathList(&options, javaHome);
        if (built == BuildOutcome::Done && options.length > listStart) {
            // Every piece ends with a separator; the last one goes.
            options.text[--options.length] = '\0';
            appendText(&options, "\"");
        } else if (built == BuildOutcome::Done) {
            options.length = withoutClassPath;
            options.text[withoutClassPath] = '\0';
        }
    }
    char* text = nullptr;
    if (built == BuildOutcome::Done) {
        text = options.text != nullptr ? options.text : heapCopy("");
        options.text = nullptr;
    }
    releaseText(&options);
    return text;
}
