#include "engine/words/postings.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/core/engine.h"
#include "engine/ops/parking.h"
#include "engine/words/word_table.h"
#include "util/bytes.h"
#include "util/filelock.h"
#include "util/new_file.h"
#include "util/positional_io.h"

namespace corvex {

namespace {

constexpr unsigned char kSignature[kFirstPosting] = {'e', 'z', 'h', 'y', 'p', 0, 0, 0};
constexpr size_t kCopyMax = size_t{256} << 20;
constexpr size_t kWaitingBytesMax = size_t{1} << 20;
constexpr auto kLockPause = std::chrono::milliseconds(20);

struct Entry {
  dev_t device = 0;
  ino_t inode = 0;
  int users = 0;
  bool readonly = false;
  bool kept_lock = false;        // the append lock, held while single-user
  bool copied = false;           // `image` is the whole file
  std::vector<unsigned char> image;
  WordTable chains;              // only while copied
  size_t written = 0;            // image[0, written) is in the file, but for
  size_t changed = SIZE_MAX;     // links changed from here on

  void drop() {
    copied = false;
    std::vector<unsigned char>().swap(image);
    chains.clear();
    written = 0;
    changed = SIZE_MAX;
  }
};

int flush_entry(int fd, Entry &e);

// The open entries by handle. A program that ends without closing its
// indexes still gets their copies written: what an add returned 0 for is
// on disk. The entry found last is remembered, as every add asks for the
// same one several times.
struct Entries {
  std::unordered_map<int, Entry> map;
  int last_fd = -1;
  Entry *last = nullptr;
  ~Entries() {
    for (auto &[fd, e] : map) flush_entry(fd, e);
  }
};

Entries &all_entries() {
  static Entries all;
  return all;
}

std::unordered_map<int, Entry> &entries() { return all_entries().map; }

Entry *entry_of(int fd) {
  Entries &all = all_entries();
  if (fd == all.last_fd) return all.last;
  auto it = all.map.find(fd);
  if (it == all.map.end()) return nullptr;
  all.last_fd = fd;
  all.last = &it->second;
  return all.last;
}

void erase_entry(int fd) {
  Entries &all = all_entries();
  if (fd == all.last_fd) all.last_fd = -1;
  all.map.erase(fd);
}

// open(2) with two tries, parking the least recently used file between.
int open_twice(const char *path, int flags, mode_t mode = 0) {
  int fd = open(path, flags | O_CLOEXEC, mode);
  if (fd < 0 && (errno == EMFILE || errno == ENFILE)) {
    _closelru(0);
    fd = open(path, flags | O_CLOEXEC, mode);
  }
  return fd;
}

bool write_all(int fd, const void *data, size_t n, off_t pos) {
  return pwrite_full(fd, data, n, pos) == n;
}

// Makes `path` holding only the signature: written completely under a new,
// unguessable temporary name and linked into place, so that no process ever
// sees a postings file without its signature. One made meanwhile by another
// process stands.
bool make_file(const char *path) {
  std::string temp;
  int fd = make_new_file(path, ".new", 0666, &temp);
  if (fd < 0 && (errno == EMFILE || errno == ENFILE)) {
    _closelru(0);
    fd = make_new_file(path, ".new", 0666, &temp);
  }
  if (fd < 0) return false;
  bool ok = write_all(fd, kSignature, sizeof kSignature, 0) && fsync(fd) == 0;
  close(fd);
  ok = ok && (link(temp.c_str(), path) == 0 || errno == EEXIST);
  unlink(temp.c_str());
  return ok;
}

int write_appended(int fd, Entry &e) {
  const size_t end = e.image.size();
  if (end > e.written && !write_all(fd, e.image.data() + e.written, end - e.written, static_cast<off_t>(e.written)))
    return FHS_WRITEWORDS;
  e.written = end;
  return FHS_OK;
}

// The appended postings first, then the changed links before them.
int flush_entry(int fd, Entry &e) {
  if (!e.copied) return FHS_OK;
  const size_t end = e.image.size();
  if (write_appended(fd, e) != FHS_OK) return FHS_WRITEWORDS;
  if (e.changed < end &&
      !write_all(fd, e.image.data() + e.changed, end - e.changed, static_cast<off_t>(e.changed)))
    return FHS_WRITEWORDS;
  e.changed = SIZE_MAX;
  return FHS_OK;
}

// The append lock with `tries` tries, 20 ms apart (0 is one try).
bool lock_with_tries(int fd, uint16_t tries) {
  for (int i = 0; i < (tries == 0 ? 1 : tries); i++) {
    if (i > 0) std::this_thread::sleep_for(kLockPause);
    if (bytelock_try(fd, 0)) return true;
  }
  return false;
}

// The entry of the file `st` describes, or null.
std::pair<const int, Entry> *entry_of_file(const struct stat &st) {
  for (auto &pair : entries()) {
    if (pair.second.device == st.st_dev && pair.second.inode == st.st_ino) return &pair;
  }
  return nullptr;
}

off_t file_size(int fd, const Entry &e) {
  if (e.copied) return static_cast<off_t>(e.image.size());
  struct stat st;
  return fstat(fd, &st) == 0 ? st.st_size : -1;
}

int read_posting(int fd, const Entry &e, off_t size, uint32_t pos, uint32_t *doc, uint32_t *next) {
  if (pos < kFirstPosting || static_cast<off_t>(pos) + kPostingSize > size) return FHS_READWORDS;
  unsigned char raw[kPostingSize];
  const unsigned char *p = raw;
  if (e.copied) {
    p = e.image.data() + pos;
  } else if (pread_full(fd, raw, sizeof raw, pos) != static_cast<ssize_t>(sizeof raw)) {
    return FHS_READWORDS;
  }
  *doc = get_u32(p);
  *next = get_u32(p + 4);
  return FHS_OK;
}

}  // namespace

int postings_open(const char *path, const fhrequest *block, bool *joined, int *status) {
  *joined = false;
  struct stat st;
  if (stat(path, &st) != 0 && !make_file(path)) {
    *status = FHS_OPENWORDS;
    return -1;
  }
  if (stat(path, &st) == 0) {
    if (auto *known = entry_of_file(st)) {
      Entry &e = known->second;
      if (!block_is_shared(block) && !e.kept_lock && !e.readonly) {
        if (!lock_with_tries(known->first, block->hdrtries)) {
          *status = FHS_HDRLOCKED;
          return -1;
        }
        e.kept_lock = true;
      }
      e.users++;
      *joined = true;
      *status = FHS_OK;
      return known->first;
    }
  }
  const bool readonly = access(path, W_OK) != 0;
  int fd = open_twice(path, readonly ? O_RDONLY : O_RDWR);
  if (fd == 0) {  // a request block's hypfd of 0 means no postings file
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
    close(fd);
    fd = moved;
  }
  if (fd < 0 || fd > UINT16_MAX || !share_acquire(fd, false)) {
    if (fd >= 0) close(fd);
    *status = FHS_OPENWORDS;
    return -1;
  }
  unsigned char head[kFirstPosting];
  if (pread_full(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head) ||
      memcmp(head, kSignature, sizeof head) != 0 || fstat(fd, &st) != 0) {
    close(fd);
    *status = FHS_READWORDS;
    return -1;
  }
  const bool keep_lock = !block_is_shared(block) && !readonly;
  if (keep_lock && !lock_with_tries(fd, block->hdrtries)) {
    close(fd);
    *status = FHS_HDRLOCKED;
    return -1;
  }
  Entry &e = entries()[fd];
  e.device = st.st_dev;
  e.inode = st.st_ino;
  e.users = 1;
  e.readonly = readonly;
  e.kept_lock = keep_lock;
  *status = FHS_OK;
  return fd;
}

int postings_close(int fd) {
  Entry *e = entry_of(fd);
  if (!e) return FHS_OK;
  if (--e->users > 0) return FHS_OK;
  int status = flush_entry(fd, *e);
  erase_entry(fd);
  close(fd);
  return status;
}

int postings_sync(int fd, const fhrequest *block) {
  Entry *e = entry_of(fd);
  if (!e) return FHS_READWORDS;
  if (e->copied || block_is_shared(block)) return FHS_OK;
  struct stat st;
  if (fstat(fd, &st) != 0) return FHS_READWORDS;
  if (static_cast<size_t>(st.st_size) > kCopyMax) return FHS_OK;  // read from the file
  std::vector<unsigned char> image;
  try {
    image.resize(static_cast<size_t>(st.st_size));
  } catch (const std::bad_alloc &) {
    return FHS_OK;
  }
  if (pread_full(fd, image.data(), image.size(), 0) != static_cast<ssize_t>(image.size())) return FHS_READWORDS;
  e->image = std::move(image);
  e->copied = true;
  e->written = e->image.size();
  return FHS_OK;
}

bool postings_copied(int fd) {
  Entry *e = entry_of(fd);
  return e && e->copied;
}

void postings_drop(int fd) {
  if (Entry *e = entry_of(fd)) e->drop();
}

int postings_flush(int fd) {
  Entry *e = entry_of(fd);
  return e ? flush_entry(fd, *e) : FHS_OK;
}

int postings_write_appended(int fd) {
  Entry *e = entry_of(fd);
  return e && e->copied ? write_appended(fd, *e) : FHS_OK;
}

bool postings_flush_due(int fd) {
  Entry *e = entry_of(fd);
  return e && e->copied && e->image.size() - e->written > kWaitingBytesMax;
}

Chain *postings_cached_chain(int fd, const WordKey &word) {
  Entry *e = entry_of(fd);
  return e && e->copied ? e->chains.find(word) : nullptr;
}

void postings_prefetch_slot(int fd, const WordKey &word) {
  Entry *e = entry_of(fd);
  if (e && e->copied) e->chains.prefetch_slot(word);
}

void postings_prefetch_chain(int fd, const WordKey &word) {
  Entry *e = entry_of(fd);
  if (e && e->copied) e->chains.prefetch_chain(word);
}

int postings_walk(int fd, uint32_t first, Chain *out) {
  Entry *e = entry_of(fd);
  if (!e) return FHS_READWORDS;
  const off_t size = file_size(fd, *e);
  *out = Chain();
  uint32_t pos = first;
  for (;;) {
    uint32_t doc = 0, next = 0;
    int status = read_posting(fd, *e, size, pos, &doc, &next);
    if (status != FHS_OK) return status;
    out->add(pos, doc);
    if (next == 0) break;
    // Chains run in order of addition: a link backwards is damage (a loop).
    if (next <= pos) return FHS_READWORDS;
    pos = next;
  }
  return FHS_OK;
}

int postings_list(int fd, Chain *chain) {
  if (chain->listed) return FHS_OK;
  Chain walked;
  int status = postings_walk(fd, chain->first, &walked);
  if (status != FHS_OK) return status;
  if (walked.last != chain->last) return FHS_READWORDS;
  *chain = std::move(walked);
  return FHS_OK;
}

int postings_append(int fd, uint32_t doc, uint32_t *pos) {
  Entry *e = entry_of(fd);
  if (!e || e->readonly) return FHS_WRITEWORDS;
  const off_t size = file_size(fd, *e);
  if (size < static_cast<off_t>(kFirstPosting)) return FHS_WRITEWORDS;
  // A torn last posting is left behind: the new one starts on a whole slot.
  const off_t at = kFirstPosting + (size - kFirstPosting + kPostingSize - 1) / kPostingSize * kPostingSize;
  if (at + kPostingSize > UINT32_MAX) return FHS_WRITEWORDS;
  if (e->copied) {
    // Written in place: the zeros the copy grows by are the end of chain.
    e->image.resize(static_cast<size_t>(at) + kPostingSize, 0);
    put_u32(e->image.data() + at, doc);
  } else {
    unsigned char raw[kPostingSize];
    put_u32(raw, doc);
    put_u32(raw + 4, 0);
    if (!write_all(fd, raw, sizeof raw, at)) return FHS_WRITEWORDS;
  }
  *pos = static_cast<uint32_t>(at);
  return FHS_OK;
}

int postings_link(int fd, uint32_t pos, uint32_t next) {
  Entry *e = entry_of(fd);
  if (!e) return FHS_WRITEWORDS;
  if (!e->copied) {
    unsigned char raw[4];
    put_u32(raw, next);
    return write_all(fd, raw, sizeof raw, static_cast<off_t>(pos) + 4) ? FHS_OK : FHS_WRITEWORDS;
  }
  if (pos + kPostingSize > e->image.size()) return FHS_WRITEWORDS;
  put_u32(e->image.data() + pos + 4, next);
  if (pos + 4 < e->written) e->changed = std::min<size_t>(e->changed, pos + 4);
  return FHS_OK;
}

Chain *postings_remember(int fd, const WordKey &word, Chain &&chain) {
  Entry *e = entry_of(fd);
  if (!e || !e->copied) return nullptr;
  Chain &kept = e->chains.insert(word);
  kept = std::move(chain);
  return &kept;
}

int postings_lock(int fd, uint16_t tries) {
  Entry *e = entry_of(fd);
  if (!e || e->readonly) return FHS_WRITEWORDS;
  if (e->kept_lock) return FHS_OK;
  return lock_with_tries(fd, tries) ? int{FHS_OK} : int{FHS_HDRLOCKED};
}

void postings_unlock(int fd) {
  Entry *e = entry_of(fd);
  if (e && !e->kept_lock) bytelock_release(fd, 0);
}

}  // namespace corvex
