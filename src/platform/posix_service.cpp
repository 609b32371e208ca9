// POSIX backend: no service control manager; every call fails with "operation not supported".
#include <cerrno>

#include "platform/posix_backend.h"

PlatformHandle posixOpenScManager(uint32_t) {
    errno = ENOTSUP;
    return nullptr;
}
PlatformHandle posixOpenService(PlatformHandle, const char*, uint32_t) {
    errno = ENOTSUP;
    return nullptr;
}
PlatformHandle posixCreateService(PlatformHandle, const char*, const char*, uint32_t, uint32_t, uint32_t,
                                  uint32_t, const char*) {
    errno = ENOTSUP;
    return nullptr;
}
bool posixDeleteService(PlatformHandle) {
    errno = ENOTSUP;
    return false;
}
bool posixCloseServiceHandle(PlatformHandle) { return true; }
bool posixStartServiceDispatcher(const char*, ServiceMainRoutine) {
    errno = ENOTSUP;
    return false;
}
PlatformHandle posixRegisterServiceCtrlHandler(const char*, ServiceHandlerRoutine) {
    errno = ENOTSUP;
    return nullptr;
}
bool posixSetServiceStatus(PlatformHandle, const ServiceStatusRecord*) {
    errno = ENOTSUP;
    return false;
}
bool posixChangeServiceConfig(PlatformHandle, const char*, const char*) {
    errno = ENOTSUP;
    return false;
}
bool posixSetServiceFailureActions(PlatformHandle, uint32_t, uint32_t, uint32_t) {
    errno = ENOTSUP;
    return false;
}
bool posixSetServiceDelayedStart(PlatformHandle, bool) {
    errno = ENOTSUP;
    return false;
}
