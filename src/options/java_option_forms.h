// The java command's ways of giving options, for launchers that set JavaCommandOptions, and
// the launcher's own system properties, for those that set LauncherProperties.
#pragma once
#include <string>
#include <vector>

// The option list as the JVM must receive it: JDK_JAVA_OPTIONS first (when the runtime is
// Java 9 or later; read, announced and checked as the java command does, its @files taken
// from the start-up directory), the configured options with their @files expanded (relative
// names from the executable's directory), two-word forms joined into the one-word forms the
// JVM takes, older spellings rewritten as the runtime's own java command rewrites them,
// options only the java command takes reported. False after a reported failure.
bool applyJavaCommandForms(std::vector<std::string>* options);

// -Dvarnlet.exe.path, -Dvarnlet.exe.dir and -Dsun.java.command (main class and arguments).
// False when the executable's path cannot be read (reported) or memory runs out (not reported).
bool launcherProperties(std::vector<std::string>* properties);

// Hook of the JVM creation: reworks the option list by both settings. Without either setting
// nothing changes. False after a failure, which the caller follows with its message (what went
// wrong is reported first).
bool adjustJvmOptions(std::vector<std::string>* options);
