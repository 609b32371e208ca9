// POSIX backend: threads, auto-reset events, sleep and locks on pthreads.
#include <cerrno>
#include <ctime>
#include <new>
#include <pthread.h>

#include "platform/posix/backend.h"

namespace {
struct ThreadStart {
    ThreadRoutine routine;
    void* parameter;
};

void* threadTrampoline(void* p) {
    ThreadStart start = *static_cast<ThreadStart*>(p);
    delete static_cast<ThreadStart*>(p);
    start.routine(start.parameter);
    return nullptr;
}
}  // namespace

struct PlatformEventObject {
    pthread_mutex_t mutex;
    pthread_cond_t cond;
    bool signalled;
};

bool posixCreateThread(ThreadRoutine routine, void* parameter) {
    ThreadStart* start = new (std::nothrow) ThreadStart{routine, parameter};
    if (!start) {
        errno = ENOMEM;
        return false;
    }
    pthread_t thread;
    int rc = pthread_create(&thread, nullptr, threadTrampoline, start);
    if (rc != 0) {
        delete start;
        errno = rc;
        return false;
    }
    pthread_detach(thread);
    return true;
}

PlatformEvent posixCreateEvent() {
    PlatformEvent e = new (std::nothrow) PlatformEventObject;
    if (!e) {
        errno = ENOMEM;
        return nullptr;
    }
    pthread_mutex_init(&e->mutex, nullptr);
    pthread_cond_init(&e->cond, nullptr);
    e->signalled = false;
    return e;
}

bool posixSetEvent(PlatformEvent e) {
    if (!e) return false;
    pthread_mutex_lock(&e->mutex);
    e->signalled = true;
    pthread_cond_signal(&e->cond);
    pthread_mutex_unlock(&e->mutex);
    return true;
}

void posixWaitForEvent(PlatformEvent e) {
    pthread_mutex_lock(&e->mutex);
    while (!e->signalled) pthread_cond_wait(&e->cond, &e->mutex);
    e->signalled = false;  // auto-reset: one signal releases one waiter
    pthread_mutex_unlock(&e->mutex);
}

bool posixCloseEvent(PlatformEvent e) {
    if (!e) return true;
    pthread_cond_destroy(&e->cond);
    pthread_mutex_destroy(&e->mutex);
    delete e;
    return true;
}

static_assert(sizeof(pthread_mutex_t) <= sizeof(PlatformLock) && alignof(pthread_mutex_t) <= alignof(PlatformLock),
              "a mutex fits a PlatformLock");
static pthread_mutex_t* mutexOf(PlatformLock* lock) { return reinterpret_cast<pthread_mutex_t*>(lock->storage); }
// A default mutex: its making and its use cannot fail.
void posixInitLock(PlatformLock* lock) { pthread_mutex_init(mutexOf(lock), nullptr); }
void posixAcquireLock(PlatformLock* lock) { pthread_mutex_lock(mutexOf(lock)); }
void posixReleaseLock(PlatformLock* lock) { pthread_mutex_unlock(mutexOf(lock)); }

void posixSleepMs(uint32_t milliseconds) {
    struct timespec ts;
    ts.tv_sec = milliseconds / 1000;
    ts.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}
