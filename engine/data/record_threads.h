// Threads: singly linked lists, newest first, of the active records that
// satisfy a thread's expression. The head is kept in the thread table and in
// the header record at the thread item's offset; each member's thread item
// holds the position of the next member in 4 base-95 digits (4 spaces end
// the list); non-members hold 4 spaces.
//
// Membership is always decided by evaluating the expression on the stored
// record, so the last member of a thread (whose link is empty, like a
// non-member's) is taken out like any other and no deleted or no longer
// matching record stays reachable.
#ifndef CORVEX_ENGINE_DATA_RECORD_THREADS_H
#define CORVEX_ENGINE_DATA_RECORD_THREADS_H

#include <stdint.h>

#include <memory>

#include "engine/fhrequest.h"

namespace corvex {

// The memberships of one record before and after a write, per thread.
struct ThreadPlan {
  std::unique_ptr<uint8_t[]> was;  // member before (0 for a new record)
  std::unique_ptr<uint8_t[]> is;   // member after
};

// Evaluates every thread's expression on the old stored image `old` (null
// for a new record; a record marked deleted belongs to no thread) and on the
// new image `image`. Returns 0, 44 for an
// expression that cannot be evaluated, or 9. Nothing is changed.
int thread_plan(fhrequest *block, const char *old, const char *image, ThreadPlan *plan);

// Carries out the plan for the record at `pos` before it is written: takes
// it out of the threads it leaves (rewriting the predecessor), clears its
// thread item for threads it is no member of, keeps the old link (from
// `old`) for threads it stays in, and links it to the current head for
// threads it joins. Returns 0, 43 when it joins a thread at a position
// beyond what a link can hold, or the status of a failed walk.
int thread_apply(fhrequest *block, uint32_t pos, const char *old, char *image, const ThreadPlan &plan);

// After the record at `pos` is written: it becomes the head of every
// thread it joined. True when a head changed.
bool thread_join(fhrequest *block, uint32_t pos, const ThreadPlan &plan);

// Takes the record at `pos`, whose stored image is `old`, out of every
// thread whose expression it satisfies (delete, and a record that moves).
// Returns 0, 44, or the status of a failed walk.
int thread_leave_all(fhrequest *block, uint32_t pos, const char *old);

// The link in thread `t`'s item of `image`, checked: 0 or a position that
// may hold a record. Returns 0 or 3.
int thread_link(const fhrequest *block, int t, const char *image, uint32_t *link);

}  // namespace corvex

#endif
