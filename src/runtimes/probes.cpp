// Probes the runtime searches share.
#include "runtimes/probes.h"

#include "platform/platform.h"

bool fileExists(const char* path) { return path != nullptr && *path != '\0' && Platform.files.canOpenForReading(path); }
