#include "util/robust_mutex.h"

#include <time.h>

#include <cerrno>

namespace corvex {

bool init_robust_mutex(pthread_mutex_t *m) {
  pthread_mutexattr_t attr;
  if (pthread_mutexattr_init(&attr) != 0) return false;
  bool ok = pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED) == 0 &&
            pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0 && pthread_mutex_init(m, &attr) == 0;
  pthread_mutexattr_destroy(&attr);
  return ok;
}

RobustLock::RobustLock(pthread_mutex_t *m, int wait_ms) : m_(m) {
  // The limit is measured on the monotonic clock: setting the wall clock
  // neither shortens nor stretches it.
  struct timespec until;
  clock_gettime(CLOCK_MONOTONIC, &until);
  until.tv_sec += wait_ms / 1000;
  until.tv_nsec += (wait_ms % 1000) * 1000000L;
  if (until.tv_nsec >= 1000000000L) {
    until.tv_sec++;
    until.tv_nsec -= 1000000000L;
  }
  int r = pthread_mutex_clocklock(m_, CLOCK_MONOTONIC, &until);
  if (r == EOWNERDEAD) r = pthread_mutex_consistent(m_);
  timed_out_ = r == ETIMEDOUT;
  held_ = r == 0;
}

RobustLock::~RobustLock() {
  if (held_) pthread_mutex_unlock(m_);
}

}  // namespace corvex
