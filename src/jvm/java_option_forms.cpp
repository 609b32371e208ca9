// Options as the java command takes them. A JVM created through JNI accepts only the one-word
// forms (--add-opens=A=B) that the java command itself passes on, and knows nothing of
// @files, JDK_JAVA_OPTIONS or the command's own options (-jar, -cp, -version): these are
// turned into what the JVM takes, or refused with a report, never passed on to be refused or
// silently ignored by the JVM.
#include "jvm/java_option_forms.h"

#include <jni.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/config.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/state.h"
#include "core/trace.h"
#include "core/working_directory.h"
#include "invoke/split.h"
#include "jvm/argument_files.h"
#include "platform/platform.h"

namespace {

// Options whose value the java command takes from the next argument.
const char* const kTwoWordOptions[] = {
    "--module-path", "--upgrade-module-path", "--add-modules", "--enable-native-access", "--limit-modules",
    "--add-exports", "--add-opens",           "--add-reads",   "--patch-module"};

struct CommandOption {
    const char* name;
    char form;  // '=' the name alone, '+' the name and a value after it, '*' any option it starts
    const char* use;  // what to configure instead, or null
};
// The java command's own options: a created JVM refuses them or ignores them.
const CommandOption kCommandOptions[] = {
    {"-cp", '+', "ClassPath"},
    {"-classpath", '+', "ClassPath"},
    {"--class-path", '+', "ClassPath"},
    {"--class-path=", '*', "ClassPath"},
    {"-jar", '+', "MainClass and ClassPath"},
    {"-m", '+', "MainClass"},
    {"--module", '+', "MainClass"},
    {"--module=", '*', "MainClass"},
    {"--source", '+', nullptr},
    {"-version", '=', nullptr},
    {"--version", '=', nullptr},
    {"-showversion", '=', nullptr},
    {"--show-version", '=', nullptr},
    {"-fullversion", '=', nullptr},
    {"--full-version", '=', nullptr},
    {"-help", '=', nullptr},
    {"-h", '=', nullptr},
    {"-?", '=', nullptr},
    {"--help", '=', nullptr},
    {"--help-extra", '=', nullptr},
    {"-X", '=', nullptr},
    {"--dry-run", '=', nullptr},
    {"--list-modules", '=', nullptr},
    {"-d", '+', nullptr},
    {"--describe-module", '+', nullptr},
    {"--validate-modules", '=', nullptr},
    {"-client", '=', "JvmPath"},
    {"-server", '=', "JvmPath"},
    {"-XshowSettings", '*', nullptr},
    {"-Xdiag", '*', nullptr},
    {"-splash:", '*', nullptr},
};

const CommandOption* commandOption(const std::string& option) {
    for (const CommandOption& c : kCommandOptions)
        if (c.form == '*' ? option.compare(0, strlen(c.name), c.name) == 0 : option == c.name) return &c;
    return nullptr;
}

// The java command reads JDK_JAVA_OPTIONS from Java 9 on; a runtime that knows the JNI
// version of Java 9 is one.
bool runtimeIsJava9OrLater() {
    typedef jint(JNICALL * DefaultArgsFunction)(void*);
    if (!State.DefaultInitArgsProc) return false;
    JavaVMInitArgs arguments{};
    arguments.version = JNI_VERSION_9;
    return reinterpret_cast<DefaultArgsFunction>(State.DefaultInitArgsProc)(&arguments) == JNI_OK;
}

}  // namespace

bool expandArgumentFiles(std::vector<std::string>* options) {
    std::vector<std::string> out;
    char directory[kPathBufferSize];
    bool expanding = true, haveDirectory = false;
    for (const std::string& option : *options) {
        if (expanding && option == "--disable-@files") {
            expanding = false;
        } else if (!expanding || option.size() < 2 || option[0] != '@') {
            out.push_back(option);
        } else if (option[1] == '@') {
            out.push_back(option.substr(1));
        } else {
            std::string path = option.substr(1);
            if (!isAbsolutePath(Platform.traits.pathStyle, path.c_str())) {
                if (!haveDirectory && !(haveDirectory = executableDirectory(directory, sizeof directory)))
                    return reportFileAccessFailure("CURRENT_EXE");
                path = joinPath(Platform.traits.pathStyle, directory, path);
            }
            std::string text;
            if (!readArgumentFile(path.c_str(), &text)) return false;
            trace("argument file: ", path.c_str());
            for (std::string& argument : splitArgumentFileText(text)) out.push_back(std::move(argument));
        }
    }
    options->swap(out);
    return true;
}

bool applyJavaCommandForms(std::vector<std::string>* options) {
    const char* environment = Platform.process.environment("JDK_JAVA_OPTIONS");
    if (environment && environment[0] != '\0') {
        if (runtimeIsJava9OrLater()) {
            trace("picked up JDK_JAVA_OPTIONS: ", environment);
            std::vector<std::string> picked = splitArgumentFileText(environment);
            options->insert(options->begin(), picked.begin(), picked.end());
        } else {
            trace("JDK_JAVA_OPTIONS not read: the runtime is older than Java 9");
        }
    }
    if (!expandArgumentFiles(options)) return false;
    std::vector<std::string> out;
    bool refused = false;
    for (size_t i = 0; i < options->size(); ++i) {
        const std::string& option = (*options)[i];
        const char* const* twoWord = std::find_if(std::begin(kTwoWordOptions), std::end(kTwoWordOptions),
                                                  [&](const char* name) { return option == name; });
        bool modulePath = option == "-p";
        if (twoWord != std::end(kTwoWordOptions) || modulePath) {
            if (i + 1 == options->size()) {
                reportError("The java command's option %s needs a value", option.c_str());
                refused = true;
                continue;
            }
            out.push_back((modulePath ? std::string("--module-path") : option) + "=" + (*options)[++i]);
        } else if (const CommandOption* c = commandOption(option)) {
            std::string text = option + " is an option of the java command, which a created JVM does not take";
            if (c->use) text += std::string(": set ") + c->use + " instead";
            reportError("%s", text.c_str());
            refused = true;
            if (c->form == '+') ++i;  // its value is no option of its own
        } else if (!option.empty() && option[0] != '-' && option[0] != '_') {
            // The JVM passes over such a text without a word; the java command would take it
            // for the main class.
            reportError("%s is no JVM option (the java command would take it for the main class)", option.c_str());
            refused = true;
        } else {
            out.push_back(option);
        }
    }
    options->swap(out);
    return !refused;
}

bool launcherProperties(std::vector<std::string>* properties) {
    char path[kPathBufferSize], directory[kPathBufferSize];
    uint32_t n = Platform.files.modulePath(path, sizeof path);
    if (n == 0 || n >= sizeof path || !executableDirectory(directory, sizeof directory)) {
        if (n >= sizeof path) Platform.errors.set(Platform.errors.ofKind(ErrorKind::NameTooLong));
        return reportFileAccessFailure("CURRENT_EXE");
    }
    properties->push_back(std::string("-Dvarnlet.exe.path=") + path);
    properties->push_back(std::string("-Dvarnlet.exe.dir=") + directory);
    // As the java command writes it: the class in dot form, each argument after a blank.
    std::string command = std::string("-Dsun.java.command=") + runMainClass();
    for (size_t i = 19; i < command.size(); ++i)
        if (command[i] == '/') command[i] = '.';
    int count = State.MainArguments ? State.MainArgumentCount : 0;
    for (int i = 0; i < count; ++i) command += std::string(" ") + State.MainArguments[i];
    if (count == 0) {
        char** vector = nullptr;
        if (!splitArguments(State.MainArguments ? Config.AppOptions : Config.ServiceStartOptions, &count, &vector))
            return false;
        for (int i = 0; i < count; ++i) command += std::string(" ") + vector[i];
        for (int i = 0; i < count; ++i) free(vector[i]);
        free(vector);
    }
    properties->push_back(command);
    return true;
}

bool adjustJvmOptionVector(int* count, char*** tokens) {
    if (!Config.JavaCommandOptions && !Config.LauncherProperties) return true;
    std::vector<std::string> options(*tokens, *tokens + *count);
    if (Config.JavaCommandOptions && !applyJavaCommandForms(&options)) return false;
    // First, so that a property the configuration sets itself wins.
    std::vector<std::string> properties;
    if (Config.LauncherProperties && !launcherProperties(&properties)) return false;
    options.insert(options.begin(), properties.begin(), properties.end());
    char** vector = static_cast<char**>(calloc(options.size() + 1, sizeof(char*)));
    size_t copied = 0;
    for (; vector && copied < options.size(); ++copied) {
        vector[copied] = static_cast<char*>(malloc(options[copied].size() + 1));
        if (!vector[copied]) break;
        memcpy(vector[copied], options[copied].c_str(), options[copied].size() + 1);
    }
    if (!vector || copied < options.size()) {
        for (size_t i = 0; vector && i < copied; ++i) free(vector[i]);
        free(vector);
        return false;
    }
    for (int i = 0; i < *count; ++i) free((*tokens)[i]);
    free(*tokens);
    *tokens = vector;
    *count = static_cast<int>(options.size());
    return true;
}
