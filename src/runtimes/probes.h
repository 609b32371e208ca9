// Probes the runtime searches share.
#pragma once

// True when the file can be opened for reading; directories do not count.
bool fileExists(const char* path);
