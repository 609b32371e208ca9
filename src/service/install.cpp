// Installing and removing the launcher as a Windows service.
#include "service/install.h"

#include "launcher/report.h"

int isServiceInstalled(const char*) {
    Platform.setLastError(kErrorNotSupported);
    return -1;
}
int installService(const char*, const char*) {
    Platform.setLastError(kErrorNotSupported);
    reportLastError();
    return -1;
}
int uninstallService(const char*) {
    Platform.setLastError(kErrorNotSupported);
    reportLastError();
    return -1;
}
int createRegistryKey(RegistryRoot, const char*) { return -1; }
int writeRegistryString(RegistryRoot, const char*, const char*, const char*) { return -1; }
int writeRegistryDword(RegistryRoot, const char*, const char*, uint32_t) { return -1; }
