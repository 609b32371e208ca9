// Running the application's static main(String[]).
#pragma once

// Attached invocations run under this thread name.
constexpr const char* kStopperThreadName = "Varnlet stopper thread";

bool invokeMainClass(int count, char** vector, bool attach);
