#include "util/robust_mutex.h"

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

RobustLock::RobustLock(pthread_mutex_t *m) : m_(m) {
  int r = pthread_mutex_lock(m_);
  if (r == EOWNERDEAD) r = pthread_mutex_consistent(m_);
  held_ = r == 0;
}

RobustLock::~RobustLock() {
  if (held_) pthread_mutex_unlock(m_);
}

}  // namespace corvex
