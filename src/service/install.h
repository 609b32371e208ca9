// Installing and removing the launcher as a Windows service.
#pragma once
#include "platform/platform.h"

int isServiceInstalled(const char* serviceName);
int installService(const char* serviceName, const char* description);
int uninstallService(const char* serviceName);
int createRegistryKey(RegistryRoot root, const char* subkey);
int writeRegistryString(RegistryRoot root, const char* subkey, const char* valueName, const char* text);
int writeRegistryDword(RegistryRoot root, const char* subkey, const char* valueName, uint32_t value);
