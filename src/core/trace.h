// The search trace: with VARNLET_TRACE set (to anything) the launcher tells on standard
// error where it looked for Java, what it found there and what it built from it, and why a
// log file could not be rolled over.
#pragma once

bool traceEnabled();
// One trace line: "varnlet: " + the texts joined. Nothing when tracing is off.
void trace(const char* a, const char* b = nullptr, const char* c = nullptr, const char* d = nullptr);
