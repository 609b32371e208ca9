// POSIX backend: shared library loading. dlopen reports through dlerror, not errno, so a
// failed load leaves ENOEXEC as the last error and keeps dlerror's text (the path and the
// real reason) for the error text of that code.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>

#include "platform/posix/backend.h"

static thread_local char lastDlError[512];

const char* posixLastLibraryError() { return lastDlError[0] ? lastDlError : nullptr; }

PlatformHandle posixLoadLibrary(const char* path, const char*) {
    // A path with a slash is loaded as named; the libraries it needs come from its RUNPATH.
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* e = dlerror();
        snprintf(lastDlError, sizeof lastDlError, "%s", e ? e : "cannot load library");
        errno = ENOEXEC;
    } else {
        lastDlError[0] = '\0';
    }
    return handle;
}

void* posixGetProcAddress(PlatformHandle library, const char* name) { return dlsym(library, name); }

bool posixFreeLibrary(PlatformHandle library) { return dlclose(library) == 0; }
