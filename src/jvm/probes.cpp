// Probes the runtime searches share.
#include "jvm/probes.h"

#include <cstring>

bool fileExists(const char* path) { return path != nullptr && *path != '\0' && Platform.files.canOpenForReading(path); }

RegistryText readRegistryString(RegistryRoot root, const char* subkey, const char* valueName, char* buffer,
                                size_t size) {
    if (size == 0) return RegistryText::NoValue;
    buffer[0] = '\0';
    PlatformHandle key = nullptr;
    if (Platform.registry.openKey(root, subkey, kKeyRead, &key).failed()) return RegistryText::NoKey;
    uint32_t type = 0;
    uint32_t got = static_cast<uint32_t>(size);
    SystemError rc = Platform.registry.queryValue(key, valueName, &type, buffer, &got);
    Platform.registry.closeKey(key);
    bool isString = type == kRegSz || type == kRegExpandSz;
    // The registry does not promise a terminator: a value that fills the buffer without
    // one did not fit.
    bool fits = got < size || (got == size && buffer[size - 1] == '\0');
    if (rc.failed() || !isString || !fits) {
        std::memset(buffer, 0, size);
        return RegistryText::NoValue;
    }
    buffer[got < size ? got : size - 1] = '\0';
    return RegistryText::Read;
}
