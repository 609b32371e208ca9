// Options as the java command takes them. A JVM created through JNI accepts only the one-word
// forms (--add-opens=A=B) that the java command itself passes on, and knows nothing of
// @files, JDK_JAVA_OPTIONS or the command's own options (-jar, -cp, -version): these are
// turned into what the JVM takes, or refused with a report, never passed on to be refused or
// silently ignored by the JVM.
#include "options/java_option_forms.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/config.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/state.h"
#include "core/trace.h"
#include "core/working_directory.h"
#include "options/argument_files.h"
#include "options/launch_options.h"
#include "options/split.h"
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
    bool endsOptions;  // it ends the java command's options: never allowed in JDK_JAVA_OPTIONS
};
// The java command's own options: a created JVM refuses them or ignores them.
const CommandOption kCommandOptions[] = {
    {"-cp", '+', "ClassPath", false},
    {"-classpath", '+', "ClassPath", false},
    {"--class-path", '+', "ClassPath", false},
    {"--class-path=", '*', "ClassPath", false},
    {"-jar", '+', "MainClass and ClassPath", true},
    {"-m", '+', "MainClass", true},
    {"--module", '+', "MainClass", true},
    {"--module=", '*', "MainClass", true},
    {"--source", '+', nullptr, false},
    {"-version", '=', nullptr, true},
    {"--version", '=', nullptr, true},
    {"-showversion", '=', nullptr, false},
    {"--show-version", '=', nullptr, false},
    {"-fullversion", '=', nullptr, true},
    {"--full-version", '=', nullptr, true},
    {"-help", '=', nullptr, true},
    {"-h", '=', nullptr, true},
    {"-?", '=', nullptr, true},
    {"--help", '=', nullptr, true},
    {"--help-extra", '=', nullptr, true},
    {"-X", '=', nullptr, true},
    {"--dry-run", '=', nullptr, true},
    {"--list-modules", '=', nullptr, false},
    {"-d", '+', nullptr, false},
    {"--describe-module", '+', nullptr, false},
    {"--validate-modules", '=', nullptr, false},
    {"-client", '=', "JvmPath", false},
    {"-server", '=', "JvmPath", false},
    {"-XshowSettings", '*', nullptr, false},
    {"-Xdiag", '*', nullptr, false},
    {"-splash:", '*', nullptr, false},
};

// The java command's older spellings, by the runtime's feature version (`from` up to but not
// including `until`, 0 for no end), as each runtime's own java command was seen to rewrite
// them; releases between 17 and 25 are taken to behave as 17 does. `value` '+': the rest of
// the option follows the new form; a null form drops the option. The warning is the java
// command's own.
struct Rewrite {
    const char* given;
    char value;
    const char* form;
    unsigned from, until;
    const char* warning;
};
#define VARNLET_DEPRECATED(option) "Warning: " option " option is deprecated and may be removed in a future release."
const Rewrite kRewrites[] = {
    {"-mx", '+', "-Xmx", 0, 25, nullptr},
    {"-mx", '+', "-Xmx", 25, 0, VARNLET_DEPRECATED("-mx")},
    {"-ms", '+', "-Xms", 0, 25, nullptr},
    {"-ms", '+', "-Xms", 25, 0, VARNLET_DEPRECATED("-ms")},
    {"-ss", '+', "-Xss", 0, 25, nullptr},
    {"-ss", '+', "-Xss", 25, 0, VARNLET_DEPRECATED("-ss")},
    {"-oss", '+', "-Xoss", 0, 25, nullptr},
    {"-verbosegc", '=', "-verbose:gc", 0, 25, nullptr},
    {"-verbosegc", '=', "-verbose:gc", 25, 0, VARNLET_DEPRECATED("-verbosegc")},
    {"-noverify", '=', "-Xverify:none", 0, 0, nullptr},
    {"-verify", '=', "-Xverify:all", 0, 25, nullptr},
    {"-verify", '=', "-Xverify:all", 25, 0, VARNLET_DEPRECATED("-verify")},
    {"-noclassgc", '=', "-Xnoclassgc", 0, 25, nullptr},
    {"-noclassgc", '=', "-Xnoclassgc", 25, 0, VARNLET_DEPRECATED("-noclassgc")},
    {"-debug", '=', "-Xdebug", 0, 25, nullptr},
    {"-debug", '=', nullptr, 25, 0, VARNLET_DEPRECATED("-debug")},
    {"-t", '=', "-Xt", 0, 25, nullptr},
    {"-tm", '=', "-Xtm", 0, 25, nullptr},
    {"-cs", '=', nullptr, 0, 25, "Warning: -cs option is no longer supported."},
    {"-checksource", '=', nullptr, 0, 25, "Warning: -checksource option is no longer supported."},
    {"-Xfuture", '=', "-Xverify:all", 0, 25, VARNLET_DEPRECATED("-Xfuture")},
    {"--show-module-resolution", '=', "-Djdk.module.showModuleResolution=true", 0, 0, nullptr},
};
#undef VARNLET_DEPRECATED
// Up to this release the java command hands --disable-@files on to the JVM, which refuses it.
constexpr unsigned kDisableAtFilesTakenFrom = 25;

const CommandOption* commandOption(const std::string& option) {
    for (const CommandOption& c : kCommandOptions)
        if (c.form == '*' ? option.compare(0, strlen(c.name), c.name) == 0 : option == c.name) return &c;
    return nullptr;
}

const Rewrite* rewriteOf(const std::string& option) {
    unsigned feature = State.RuntimeFeature;
    for (const Rewrite& r : kRewrites)
        if ((r.value == '+' ? option.compare(0, strlen(r.given), r.given) == 0 : option == r.given) &&
            feature >= r.from && (r.until == 0 || feature < r.until))
            return &r;
    return nullptr;
}

// An argument and the argument file it came from (empty: none).
struct Argument {
    std::string text;
    std::string file;
};

// Each "@name" replaced by the arguments of that file, a relative name taken from `directory`.
bool expandFiles(const std::vector<std::string>& given, const char* directory, std::vector<Argument>* out) {
    bool expanding = true;
    for (const std::string& option : given) {
        if (expanding && option == "--disable-@files") {
            expanding = false;
            out->push_back({option, ""});
        } else if (!expanding || option.size() < 2 || option[0] != '@') {
            out->push_back({option, ""});
        } else if (option[1] == '@') {
            out->push_back({option.substr(1), ""});
        } else {
            std::string path = option.substr(1);
            if (!isAbsolutePath(Platform.traits.pathStyle, path.c_str()))
                path = joinPath(Platform.traits.pathStyle, directory, path);
            std::string text;
            if (!readArgumentFile(path.c_str(), &text)) return false;
            trace("argument file: ", path.c_str());
            for (std::string& argument : splitArgumentFileText(text)) out->push_back({std::move(argument), option});
        }
    }
    return true;
}

// The java command's check of JDK_JAVA_OPTIONS: no option that ends its options (a text that
// is no option is refused as a main class with the others). Its class path option becomes the
// class path property, which the launcher's own class path, given after it, overrides as the
// command line's does.
enum class Checked { Refused, Taken, Passed };
Checked environmentOption(const std::vector<Argument>& arguments, size_t* i, std::vector<std::string>* out) {
    const Argument& a = arguments[*i];
    const CommandOption* c = commandOption(a.text);
    if (c && c->endsOptions) {
        std::string where = a.file.empty() ? "" : " in " + a.file;
        reportError("Option %s is not allowed in environment variable JDK_JAVA_OPTIONS", (a.text + where).c_str());
        return Checked::Refused;
    }
    if (!c || !c->use || strcmp(c->use, "ClassPath") != 0) return Checked::Passed;
    if (c->form == '*') {
        out->push_back("-Djava.class.path=" + a.text.substr(a.text.find('=') + 1));
    } else if (*i + 1 == arguments.size()) {
        reportError("The java command's option %s needs a value", a.text.c_str());
        return Checked::Refused;
    } else {
        out->push_back("-Djava.class.path=" + arguments[++*i].text);
    }
    return Checked::Taken;
}

// One source's arguments as the JVM takes them; false after reporting every refused one.
bool takeArguments(const std::vector<Argument>& arguments, bool environment, std::vector<std::string>* out) {
    bool refused = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (environment) {
            Checked checked = environmentOption(arguments, &i, out);
            if (checked == Checked::Refused) return false;
            if (checked == Checked::Taken) continue;
        }
        const std::string& option = arguments[i].text;
        const char* const* twoWord = std::find_if(std::begin(kTwoWordOptions), std::end(kTwoWordOptions),
                                                  [&](const char* name) { return option == name; });
        bool modulePath = option == "-p";
        if (twoWord != std::end(kTwoWordOptions) || modulePath) {
            if (i + 1 == arguments.size()) {
                reportError("The java command's option %s needs a value", option.c_str());
                return false;  // the last argument
            }
            out->push_back((modulePath ? std::string("--module-path") : option) + "=" + arguments[++i].text);
        } else if (const Rewrite* r = rewriteOf(option)) {
            if (r->warning) Platform.console.writeLine(true, r->warning);
            if (r->form) out->push_back(r->form + (r->value == '+' ? option.substr(strlen(r->given)) : ""));
        } else if (option == "--disable-@files") {
            // Taken by the java command of later releases; earlier ones hand it to the JVM, which refuses it.
            if (State.RuntimeFeature < kDisableAtFilesTakenFrom) out->push_back(option);
        } else if (const CommandOption* c = commandOption(option)) {
            std::string text = option + " is an option of the java command, which a created JVM does not take";
            if (c->use) text += std::string(": set ") + c->use + " instead";
            reportError("%s", text.c_str());
            refused = true;
            if (c->form == '+') ++i;  // its value is no option of its own
        } else if (option.empty() || option[0] != '-') {
            // The java command would take it for the main class (and stop there).
            if (environment) {
                reportError("Cannot specify main class in environment variable JDK_JAVA_OPTIONS");
                return false;
            }
            reportError("%s is no JVM option (the java command would take it for the main class)", option.c_str());
            refused = true;
        } else {
            out->push_back(option);
        }
    }
    return !refused;
}

}  // namespace

bool applyJavaCommandForms(std::vector<std::string>* options) {
    std::vector<std::string> out;
    const char* environment = Platform.process.environment("JDK_JAVA_OPTIONS");
    if (environment && State.RuntimeFeature >= 9) {
        // As the java command tells it, on standard error, whatever the run's reports use.
        Platform.console.writeLine(true, (std::string("NOTE: Picked up JDK_JAVA_OPTIONS: ") + environment).c_str());
        std::vector<std::string> picked;
        std::vector<Argument> expanded;
        // Its argument files are the caller's, as the java command opens them.
        if (!splitEnvironmentText(environment, &picked) || !expandFiles(picked, State.StartupDir, &expanded) ||
            !takeArguments(expanded, true, &out))
            return false;
    } else if (environment) {
        trace("JDK_JAVA_OPTIONS not read: the runtime is older than Java 9");
    }
    // Runs of blanks in the configured text leave empty options, which stand for nothing.
    options->erase(std::remove(options->begin(), options->end(), std::string()), options->end());
    char directory[kPathBufferSize];
    std::vector<Argument> configured;
    if (!executableDirectory(directory, sizeof directory)) return reportFileAccessFailure("CURRENT_EXE");
    if (!expandFiles(*options, directory, &configured) || !takeArguments(configured, false, &out)) return false;
    options->swap(out);
    return true;
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
    // As the java command writes it: the jar as `java -jar` names it, the module (and class)
    // as `java -m` does, else the class in dot form; then each argument after a blank.
    std::string command = std::string("-Dsun.java.command=");
    if (isSet(runMainJar()) || isSet(Config.MainModule)) {
        command += isSet(runMainJar()) ? runMainJar() : Config.MainModule;
    } else {
        command += runMainClass();
        for (size_t i = 19; i < command.size(); ++i)
            if (command[i] == '/') command[i] = '.';
    }
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

bool adjustJvmOptions(std::vector<std::string>* options) {
    if (Config.JavaCommandOptions && !applyJavaCommandForms(options)) return false;
    // First, so that a property the configuration sets itself wins.
    std::vector<std::string> properties;
    if (Config.LauncherProperties && !launcherProperties(&properties)) return false;
    options->insert(options->begin(), properties.begin(), properties.end());
    return true;
}
