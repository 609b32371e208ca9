// POSIX backend: there is no registry; every key is missing and nothing can be written.
#include "platform/posix_backend.h"

SystemError posixRegOpenKey(RegistryRoot, const char*, uint32_t, PlatformHandle* key) {
    *key = nullptr;
    return posixErrorOfKind(ErrorKind::NotFound);
}
SystemError posixRegQueryValue(PlatformHandle, const char*, uint32_t*, void*, uint32_t*) {
    return posixErrorOfKind(ErrorKind::NotFound);
}
SystemError posixRegEnumKey(PlatformHandle, uint32_t, char*, uint32_t*) {
    return posixErrorOfKind(ErrorKind::NoMoreItems);
}
SystemError posixRegCloseKey(PlatformHandle) { return kNoError; }
SystemError posixRegCreateKey(RegistryRoot, const char*, uint32_t, PlatformHandle* key) {
    *key = nullptr;
    return posixErrorOfKind(ErrorKind::Unsupported);
}
SystemError posixRegSetValue(PlatformHandle, const char*, uint32_t, const void*, uint32_t) {
    return posixErrorOfKind(ErrorKind::Unsupported);
}
