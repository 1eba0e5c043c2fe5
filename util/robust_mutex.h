// A mutex in shared memory that survives the death of the process holding it.
#ifndef CORVEX_UTIL_ROBUST_MUTEX_H
#define CORVEX_UTIL_ROBUST_MUTEX_H

#include <pthread.h>

#include "util/export.h"

namespace corvex {

// Initialises *m as a process-shared robust mutex. False on failure.
CORVEX_EXPORT bool init_robust_mutex(pthread_mutex_t *m);

// Holds the mutex for its lifetime. When the previous holder died with it, the
// mutex is made consistent and taken; the data it guards may be half changed,
// so users check their invariants after locking.
class CORVEX_EXPORT RobustLock {
 public:
  explicit RobustLock(pthread_mutex_t *m);
  ~RobustLock();
  RobustLock(const RobustLock &) = delete;
  RobustLock &operator=(const RobustLock &) = delete;

  // False when the mutex could not be taken (it is unusable).
  bool held() const { return held_; }

 private:
  pthread_mutex_t *m_;
  bool held_;
};

}  // namespace corvex

#endif
