// Assembling the JVM option text: the configured options, the class path option with
// directories expanded into their archives, and %NAME% references in the configured texts.
#pragma once

// Replaces Config.JvmOptions with the final option text. False after a reported failure,
// with JvmOptions unchanged. Splits Config.ClassPath in place.
bool buildJvmOptions();

// What a step of building the option text came to.
enum class BuildOutcome {
    Done,
    Reported,  // a failure, reported where it was met
    OutOfMemory,  // not reported yet; what was built is incomplete and must not be used
};
