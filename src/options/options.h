// Assembling the JVM option text: the configured options, the class path option with
// directories expanded into their archives, and %NAME% references in the configured texts.
#pragma once

#include "runtimes/discovery.h"

// The final option text for the runtime chosen (its home is what %JAVA_HOME% names), as a
// new heap text; null after a reported failure.
char* buildJvmOptions(const RuntimeChoice& runtime);

// What a step of building the option text came to.
enum class BuildOutcome {
    Done,
    Reported,  // a failure, reported where it was met
};
