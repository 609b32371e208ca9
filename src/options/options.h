// Building the JVM options: the configured options, the launch options and the class path
// option with directories expanded into their archives, %NAME% references expanded.
#pragma once
#include <string>
#include <vector>

#include "runtimes/discovery.h"

// Appends the options for the runtime chosen (its home is what %JAVA_HOME% names) to
// `options`, one option a string, as the JVM is to receive them. False after a reported
// failure.
bool buildJvmOptions(const RuntimeChoice& runtime, std::vector<std::string>* options);

// What a step of building the options came to.
enum class BuildOutcome {
    Done,
    Reported,  // a failure, reported where it was met
};
