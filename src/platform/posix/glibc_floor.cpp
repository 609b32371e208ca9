// The shipped Linux programs start on glibc 2.17 and later (RHEL 7 and 8, Debian 11, Ubuntu
// 20.04, Amazon Linux 2), although they are built against a newer one. The linker binds each
// call to the newest version of a glibc function; the build (cmake/GlibcFloor.cmake) passes
// --wrap=NAME for every __wrap_NAME defined here, so every call to NAME, in our code, in the
// static libstdc++ and libgcc and in the start-up file, reaches the function below instead,
// which calls the version of 2.17 or before that does the same, or does it by other means
// where 2.17 has no such function. Since the wrappers run on every system, the tests run
// them too. tests/release reads the versions each shipped program needs.
#include <dlfcn.h>
#include <errno.h>
#include <link.h>
#include <pthread.h>
#include <signal.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// The version every x86-64 glibc has (or a named one), and the struct layout the old stat functions take.
#define VARNLET_OLD(name, symbol) VARNLET_VERSIONED(name, symbol, 2.2.5)
#define VARNLET_VERSIONED(name, symbol, version) __asm__(".symver " #name "," #symbol "@GLIBC_" #version)
constexpr int kStatVersion = 1;  // _STAT_VER_LINUX of x86-64

// The wrappers have no declaration elsewhere: only the linker's --wrap ever names them.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wmissing-prototypes"
#else
#pragma GCC diagnostic ignored "-Wmissing-declarations"
#endif

extern "C" {

int old_libc_start_main(int (*main)(int, char**, char**), int argc, char** argv, void (*init)(int, char**, char**),
                        void (*fini)(), void (*rtld_fini)(), void* stack_end);
VARNLET_OLD(old_libc_start_main, __libc_start_main);
// From 2.34 on, the start-up file passes no init function and glibc runs the program's
// constructors itself; before, glibc ran only the init function it was given. This one runs
// them as the start-up file's own did (_init, then .init_array); glibc of 2.34 and later calls
// a given init function instead of running them itself, so they run once on either.
extern void _init();
extern void (*__init_array_start[])(int, char**, char**);
extern void (*__init_array_end[])(int, char**, char**);
static void runConstructors(int argc, char** argv, char** envp) {
    _init();
    for (auto* f = __init_array_start; f != __init_array_end; ++f) (*f)(argc, argv, envp);
}
int __wrap___libc_start_main(int (*main)(int, char**, char**), int argc, char** argv, void (*init)(int, char**, char**),
                             void (*fini)(), void (*rtld_fini)(), void* stack_end) {
    return old_libc_start_main(main, argc, argv, init ? init : runConstructors, fini, rtld_fini, stack_end);
}

// Until 2.34 these lived in libdl and libpthread, which the build adds as needed libraries.
void* old_dlopen(const char*, int);
VARNLET_OLD(old_dlopen, dlopen);
void* old_dlsym(void*, const char*);
VARNLET_OLD(old_dlsym, dlsym);
int old_dlclose(void*);
VARNLET_OLD(old_dlclose, dlclose);
char* old_dlerror();
VARNLET_OLD(old_dlerror, dlerror);
void* __wrap_dlopen(const char* file, int mode) { return old_dlopen(file, mode); }
void* __wrap_dlsym(void* handle, const char* name) { return old_dlsym(handle, name); }
int __wrap_dlclose(void* handle) { return old_dlclose(handle); }
char* __wrap_dlerror() { return old_dlerror(); }

int old_pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
VARNLET_OLD(old_pthread_create, pthread_create);
int old_pthread_join(pthread_t, void**);
VARNLET_OLD(old_pthread_join, pthread_join);
int old_pthread_detach(pthread_t);
VARNLET_OLD(old_pthread_detach, pthread_detach);
int old_pthread_once(pthread_once_t*, void (*)());
VARNLET_OLD(old_pthread_once, pthread_once);
int old_pthread_key_create(pthread_key_t*, void (*)(void*));
VARNLET_OLD(old_pthread_key_create, __pthread_key_create);
int old_pthread_sigmask(int, const sigset_t*, sigset_t*);
VARNLET_OLD(old_pthread_sigmask, pthread_sigmask);
int __wrap_pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
    return old_pthread_create(thread, attr, start, arg);
}
int __wrap_pthread_join(pthread_t thread, void** result) { return old_pthread_join(thread, result); }
int __wrap_pthread_detach(pthread_t thread) { return old_pthread_detach(thread); }
int __wrap_pthread_once(pthread_once_t* once, void (*run)()) { return old_pthread_once(once, run); }
int __wrap___pthread_key_create(pthread_key_t* key, void (*destroy)(void*)) {
    return old_pthread_key_create(key, destroy);
}
int __wrap_pthread_sigmask(int how, const sigset_t* set, sigset_t* old) { return old_pthread_sigmask(how, set, old); }

// Until 2.33 the stat family were the versioned __xstat functions.
int old_xstat(int, const char*, struct stat*);
VARNLET_OLD(old_xstat, __xstat);
int old_lxstat(int, const char*, struct stat*);
VARNLET_OLD(old_lxstat, __lxstat);
int old_fxstat(int, int, struct stat*);
VARNLET_OLD(old_fxstat, __fxstat);
int old_fxstatat(int, int, const char*, struct stat*, int);
VARNLET_VERSIONED(old_fxstatat, __fxstatat, 2.4);
int __wrap_stat(const char* path, struct stat* st) { return old_xstat(kStatVersion, path, st); }
int __wrap_lstat(const char* path, struct stat* st) { return old_lxstat(kStatVersion, path, st); }
int __wrap_fstat(int fd, struct stat* st) { return old_fxstat(kStatVersion, fd, st); }
int __wrap_fstat64(int fd, struct stat* st) { return old_fxstat(kStatVersion, fd, st); }
int __wrap_fstatat(int dir, const char* path, struct stat* st, int flags) {
    return old_fxstatat(kStatVersion, dir, path, st, flags);
}

// Calls of the kernel that glibc wrapped only later (getdents64 2.30, getentropy 2.25).
ssize_t __wrap_getdents64(int fd, void* buffer, size_t size) { return syscall(SYS_getdents64, fd, buffer, size); }
int __wrap_getentropy(void* buffer, size_t size) {
    if (size > 256) {
        errno = EIO;
        return -1;
    }
    for (size_t done = 0; done < size;) {
        long n = syscall(SYS_getrandom, static_cast<char*>(buffer) + done, size - done, 0);
        if (n < 0 && errno != EINTR) return -1;
        if (n > 0) done += static_cast<size_t>(n);
    }
    return 0;
}
// std::random_device's source where glibc has it (2.36); it cannot fail.
uint32_t __wrap_arc4random() {
    uint32_t value;
    if (__wrap_getentropy(&value, sizeof value) != 0) abort();
    return value;
}

// libstdc++ skips atomic reference counts while this says the process has one thread (2.32);
// without it, they are always atomic.
char __wrap___libc_single_threaded = 0;

// The unwinder's search for the object that holds an address and its exception frame table
// (2.35), made with dl_iterate_phdr as unwinders did before.
struct FrameSearch {
    uintptr_t address;
    dl_find_object* result;
};
static int findFrames(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<FrameSearch*>(data);
    uintptr_t low = UINTPTR_MAX, high = 0;
    const ElfW(Phdr)* frames = nullptr;
    bool inside = false;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type == PT_GNU_EH_FRAME) frames = &segment;
        if (segment.p_type != PT_LOAD) continue;
        uintptr_t start = info->dlpi_addr + segment.p_vaddr, end = start + segment.p_memsz;
        inside = inside || (search->address >= start && search->address < end);
        if (start < low) low = start;
        if (end > high) high = end;
    }
    if (!inside) return 0;
    search->result->dlfo_flags = 0;
    search->result->dlfo_map_start = reinterpret_cast<void*>(low);
    search->result->dlfo_map_end = reinterpret_cast<void*>(high);
    search->result->dlfo_link_map = nullptr;
    search->result->dlfo_eh_frame = frames ? reinterpret_cast<void*>(info->dlpi_addr + frames->p_vaddr) : nullptr;
    return 1;
}
int __wrap__dl_find_object(void* address, dl_find_object* result) {
    FrameSearch search{reinterpret_cast<uintptr_t>(address), result};
    return dl_iterate_phdr(findFrames, &search) ? 0 : -1;
}

}  // extern "C"
