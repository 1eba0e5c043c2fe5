#include "engine/sharing/changecount.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include "engine/core/engine.h"
#include "engine/core/perblock.h"
#include "engine/sharing/count_object.h"
#include "engine/sharing/netmode.h"
#include "util/fsinfo.h"

namespace corvex {

namespace {

// The object: one count, alone in its cache line.
struct alignas(64) SharedCount {
  std::atomic<uint64_t> value;
};
static_assert(std::atomic<uint64_t>::is_always_lock_free, "the count is shared between processes");

// A block never sees an odd count, and no count gets this far.
constexpr uint64_t kNeverSeen = UINT64_MAX;

struct Tracker {
  int datfd = -1;        // the data handle the tracker was made for
  int objfd = -1;        // the count object, read-write, holding a read lock on byte 0
  SharedCount *shared = nullptr;
  uint64_t seen = kNeverSeen;
  bool current = false;
  bool inside = false;   // between changes_enter and changes_leave
  bool forgotten = false;  // forgotten inside: leaving does not make it current
  bool failed = false;   // the object could not be had for this handle
  // Copied into a child process by fork: the handle's lock is the parent's,
  // so the child makes its own and never removes the parent's object.
  bool inherited = false;
  char name[64] = {};

  void detach() {
    if (shared) munmap(shared, sizeof(SharedCount));
    if (objfd >= 0) {
      if (!inherited) remove_count_if_unused(objfd, name);
      close(objfd);
    }
    inherited = false;
    shared = nullptr;
    objfd = -1;
    seen = kNeverSeen;
    current = false;
    inside = false;
  }
  ~Tracker() { detach(); }
};

PerBlock<Tracker> &trackers() {
  static PerBlock<Tracker> map;
  return map;
}

// Objects nobody holds are left only by killed programs, and every program
// that starts to keep counts clears them once: a scan of the folder at each
// table it opens would only find the same ones again. A child made by fork
// is a program of its own here.
bool g_swept = false;

void mark_inherited() {
  trackers().for_each([](Tracker &t) { t.inherited = true; });
  g_swept = false;
}

bool trackable(const fhrequest *block) {
  return block_is_shared(block) && netmode_places_locks() && block->datfd >= 0 && !(block->mode & FH_NODATA);
}

// Opens the count object of the data file, holding a read lock on it, and
// maps it. False when it cannot be had or is not to be trusted.
bool open_object(Tracker *t, const struct stat &table) {
  for (int tries = 0; tries < 3; tries++) {
    int fd;
    switch (open_count_object(t->name, table, sizeof(SharedCount), &fd)) {
      case CountObjectOpen::kOpened:
        break;
      case CountObjectOpen::kRemoved:
        continue;
      default:
        return false;
    }
    void *p = mmap(nullptr, sizeof(SharedCount), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) {
      close(fd);
      return false;
    }
    t->objfd = fd;
    t->shared = static_cast<SharedCount *>(p);
    return true;
  }
  return false;
}

bool attach(const fhrequest *block, Tracker *t) {
  static const bool fork_watched = pthread_atfork(nullptr, nullptr, mark_inherited) == 0;
  t->datfd = block->datfd;
  if (!fork_watched) return false;
  t->failed = true;
  struct stat st;
  if (network_filesystem(block->datfd) != nullptr || fstat(block->datfd, &st) != 0 || !count_allowed(st))
    return false;
  if (!g_swept) {
    g_swept = true;
    sweep_unused_counts();
  }
  changes_object_name(st, t->name, sizeof t->name);
  t->failed = !open_object(t, st);
  return !t->failed;
}

// The tracker of a trackable block, attached; null for an untracked one.
Tracker *tracker_of(const fhrequest *block) {
  if (!trackable(block)) return nullptr;
  Tracker *t = trackers().get(block);
  if (!t) return nullptr;
  if (t->datfd != block->datfd || t->inherited) {
    t->detach();
    attach(block, t);
  }
  return t->failed ? nullptr : t;
}

// The tracker if the block already has an attached one.
Tracker *attached(const fhrequest *block) {
  Tracker *t = trackers().find(block);
  if (!t || t->failed || t->inherited || t->datfd != block->datfd) return nullptr;
  return trackable(block) ? t : nullptr;
}

}  // namespace

void changes_object_name(const struct stat &st, char *out, size_t size) {
  snprintf(out, size, "/%s%llx-%llx", kCountPrefix, static_cast<unsigned long long>(st.st_dev),
           static_cast<unsigned long long>(st.st_ino));
}

void changes_discard_unused(const struct stat &st) {
  char name[64];
  changes_object_name(st, name, sizeof name);
  discard_count_object(name, st.st_uid);
}

bool changes_begin_call(const fhrequest *block, uint64_t *count) {
  Tracker *t = tracker_of(block);
  if (!t) return false;
  *count = t->shared->value.load(std::memory_order_acquire);
  t->current = *count == t->seen && (*count & 1) == 0;
  return true;
}

bool changes_current(const fhrequest *block) {
  Tracker *t = attached(block);
  return t && t->current;
}

bool block_rereads(const fhrequest *block) { return block_is_shared(block) && !changes_current(block); }

bool changes_tracked(const fhrequest *block) { return attached(block) != nullptr; }

bool changes_settle(const fhrequest *block, uint64_t count) {
  Tracker *t = attached(block);
  if (!t) return false;
  // The copies taken from the files come before the second look.
  std::atomic_thread_fence(std::memory_order_acquire);
  if (t->shared->value.load(std::memory_order_relaxed) != count || (count & 1) != 0) {
    t->current = false;
    return false;
  }
  t->seen = count;
  t->current = true;
  return true;
}

bool changes_enter(const fhrequest *block) {
  Tracker *t = tracker_of(block);
  if (!t || t->inside) return true;
  uint64_t now = t->shared->value.load(std::memory_order_acquire);
  // Odd under our lock: its holder was killed inside its section.
  if (now & 1) now++;
  bool was_current = now == t->seen;
  t->shared->value.store(now + 1, std::memory_order_seq_cst);
  t->inside = true;
  t->forgotten = false;
  t->current = was_current;
  return was_current;
}

void changes_leave(const fhrequest *block) {
  Tracker *t = attached(block);
  if (!t || !t->inside) return;
  uint64_t now = t->shared->value.load(std::memory_order_relaxed) + 1;
  t->shared->value.store(now, std::memory_order_release);
  t->inside = false;
  t->seen = t->forgotten ? kNeverSeen : now;
  t->current = !t->forgotten;
}

void changes_forget(const fhrequest *block) {
  Tracker *t = trackers().find(block);
  if (!t) return;
  t->seen = kNeverSeen;
  t->current = false;
  t->forgotten = t->inside;
}

void changes_release(const fhrequest *block) { trackers().erase(block); }

void changes_release_all() { trackers().clear(); }

}  // namespace corvex
