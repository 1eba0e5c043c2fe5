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
// so users check their invariants after locking. A holder that keeps it longer
// than the wait limit (a stopped or hung program) makes the lock fail instead
// of holding this program up.
class CORVEX_EXPORT RobustLock {
 public:
  explicit RobustLock(pthread_mutex_t *m, int wait_ms = kDefaultWaitMs);
  ~RobustLock();
  RobustLock(const RobustLock &) = delete;
  RobustLock &operator=(const RobustLock &) = delete;

  static constexpr int kDefaultWaitMs = 3000;

  // False when the mutex could not be taken (unusable, or held too long).
  bool held() const { return held_; }
  // True when the mutex was not taken because its holder kept it too long.
  bool timed_out() const { return timed_out_; }

 private:
  pthread_mutex_t *m_;
  bool held_;
  bool timed_out_ = false;
};

}  // namespace corvex

#endif
