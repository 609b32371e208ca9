// POSIX backend: there is no registry; every key is missing and nothing can be written.
#include "platform/posix_backend.h"

long posixRegOpenKey(RegistryRoot, const char*, uint32_t, PlatformHandle* key) {
    *key = nullptr;
    return kErrorFileNotFound;
}
long posixRegQueryValue(PlatformHandle, const char*, uint32_t*, void*, uint32_t*) { return kErrorInvalidHandle; }
long posixRegEnumKey(PlatformHandle, uint32_t, char*, uint32_t*) { return kErrorNoMoreItems; }
long posixRegCloseKey(PlatformHandle) { return kErrorInvalidHandle; }
long posixRegCreateKey(RegistryRoot, const char*, uint32_t, PlatformHandle* key) {
    *key = nullptr;
    return 95;  // EOPNOTSUPP
}
long posixRegSetValue(PlatformHandle, const char*, uint32_t, const void*, uint32_t) { return 95; }
