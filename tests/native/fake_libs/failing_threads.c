/* Preloaded into a test's child process: once armed, pthread_create lets a
 * given number of threads start and then fails with EAGAIN, as it does when
 * the system is out of threads. Arm it through ctypes:
 *   ctypes.CDLL(path).failing_threads_arm(1)   # one more thread, then failures
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>

#define EXPORT __attribute__((visibility("default")))

static int armed = 0;
static int allowed = 0;

EXPORT void failing_threads_arm(int threads_allowed) {
  allowed = threads_allowed;
  armed = 1;
}

typedef int (*CreateFunction)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

EXPORT int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
  static CreateFunction real_create = NULL;
  if (real_create == NULL) real_create = (CreateFunction)dlsym(RTLD_NEXT, "pthread_create");
  if (armed) {
    if (allowed == 0) return EAGAIN;
    --allowed;
  }
  return real_create(thread, attr, start, arg);
}
