#include "util/fastfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/filelock.h"
#include "util/memory.h"
#include "util/openflags.h"

namespace {

constexpr int kSlots = 5;

// position is the next byte to read while reading and the count of waiting
// output bytes while writing; count is what the last refill read. The writing
// flag tells the two uses apart, so that a flush never writes read data back.
struct Slot {
  int fd = -1;  // -1 marks a free slot
  int flags = 0;
  int position = 0;
  int count = 0;
  bool writing = false;
  unsigned char *buffer = nullptr;
};

Slot slots[kSlots];

Slot *open_slot(int slot) {
  if (slot < 0 || slot >= kSlots || slots[slot].fd < 0) return nullptr;
  return &slots[slot];
}

bool write_all(int fd, const unsigned char *data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Writes the waiting output: 0, or 1 when the write failed. Nothing waits while
// the slot is reading.
int flush(Slot &s) {
  if (!s.writing || s.position == 0) return 0;
  bool ok = write_all(s.fd, s.buffer, static_cast<size_t>(s.position));
  s.position = 0;
  return ok ? 0 : 1;
}

// Refills the buffer; false at end of file (or on a read error).
bool refill(Slot &s) {
  ssize_t n;
  do n = read(s.fd, s.buffer, FAST_BUFFER_SIZE);
  while (n < 0 && errno == EINTR);
  s.position = 0;
  s.count = n > 0 ? static_cast<int>(n) : 0;
  return s.count > 0;
}

// Reading after writing without a repositioning first writes what waits.
void begin_read(Slot &s) {
  if (!s.writing) return;
  flush(s);
  s.writing = false;
  s.position = s.count = 0;
}

// Writing after reading continues at the logical position, not after the
// bytes the buffer read ahead.
void begin_write(Slot &s) {
  if (s.writing) return;
  if (s.count > s.position) lseek(s.fd, -static_cast<off_t>(s.count - s.position), SEEK_CUR);
  s.writing = true;
  s.position = s.count = 0;
}

// Opens path; *created tells whether this call made the file, found race-free
// by trying an exclusive create first.
int open_file(const char *path, int oflags, int mode, bool *created) {
  *created = false;
  if ((oflags & O_CREAT) && !(oflags & O_EXCL)) {
    int fd = open(path, oflags | O_EXCL, mode);
    if (fd >= 0 || errno != EEXIST) {
      *created = fd >= 0;
      return fd;
    }
    oflags &= ~O_CREAT;
  }
  int fd = open(path, oflags, mode);
  *created = fd >= 0 && (oflags & O_EXCL);
  return fd;
}

void reset(Slot &s) { s = Slot{}; }

}  // namespace

int _fastopen(const char *path, int flags, int mode) {
  if (!path || !*path) return -1;
  int slot = 0;
  while (slot < kSlots && slots[slot].fd >= 0) ++slot;
  if (slot == kSlots) return -1;

  corvex::OpenMode m = corvex::map_open_flags(flags);
  bool created;
  int fd = -1;
  // A shared open must hold a read lock, which a write-only descriptor cannot:
  // it is made read-write when the file allows reading.
  if (m.sharing == corvex::Sharing::kShared && (m.oflags & O_ACCMODE) == O_WRONLY)
    fd = open_file(path, (m.oflags & ~O_ACCMODE) | O_RDWR, mode, &created);
  if (fd < 0) fd = open_file(path, m.oflags, mode, &created);
  if (fd < 0) return -1;
  auto fail = [&](int result) {
    close(fd);
    if (created) unlink(path);
    return result;
  };
  // The file is truncated only once the lock shows nobody else may use it.
  if (m.sharing != corvex::Sharing::kNone && !corvex::share_acquire(fd, m.sharing == corvex::Sharing::kExclusive))
    return fail(-1);
  if (m.truncate && ftruncate(fd, 0) != 0) return fail(-1);
  auto *buffer = static_cast<unsigned char *>(globalmalloc(FAST_BUFFER_SIZE));
  if (!buffer) return fail(-2);

  Slot &s = slots[slot];
  s.fd = fd;
  s.flags = flags;
  s.buffer = buffer;
  return slot;
}

namespace corvex {

int fast_descriptor(int slot) {
  Slot *s = open_slot(slot);
  return s ? s->fd : -1;
}

}  // namespace corvex

int _fastclose(int slot) {
  Slot *s = open_slot(slot);
  if (!s) return 1;
  int result = (s->flags & FAST_O_CREAT) ? flush(*s) : 0;
  globalmfree(s->buffer);
  if (close(s->fd) != 0 && errno != EINTR) result = 1;
  reset(*s);
  return result;
}

int _fastflush(int slot) {
  Slot *s = open_slot(slot);
  return s ? flush(*s) : 1;
}

int _fastread(int slot, void *target, int n) {
  Slot *s = open_slot(slot);
  if (!s || !target || n < 1) return 0;
  begin_read(*s);
  auto *out = static_cast<unsigned char *>(target);
  int delivered = 0;
  while (s->count - s->position < n - delivered) {
    int available = s->count - s->position;
    std::memcpy(out + delivered, s->buffer + s->position, static_cast<size_t>(available));
    delivered += available;
    // Whole buffers' worth go straight to the target, in one call.
    int whole = (n - delivered) / FAST_BUFFER_SIZE * FAST_BUFFER_SIZE;
    if (whole > 0) {
      s->position = s->count = 0;
      ssize_t got;
      do got = read(s->fd, out + delivered, static_cast<size_t>(whole));
      while (got < 0 && errno == EINTR);
      if (got <= 0) return delivered;
      delivered += static_cast<int>(got);
      continue;
    }
    if (!refill(*s)) return delivered;
  }
  int rest = n - delivered;
  std::memcpy(out + delivered, s->buffer + s->position, static_cast<size_t>(rest));
  s->position += rest;
  return n;
}

int _fastwrite(int slot, const void *source, int n) {
  Slot *s = open_slot(slot);
  if (!s || (!source && n > 0)) return -1;
  begin_write(*s);
  const auto *in = static_cast<const unsigned char *>(source);
  for (int done = 0; done < n;) {
    // With nothing waiting, whole buffers' worth are written straight from
    // the source, in one call.
    int whole = (n - done) / FAST_BUFFER_SIZE * FAST_BUFFER_SIZE;
    if (s->position == 0 && whole > 0) {
      if (!write_all(s->fd, in + done, static_cast<size_t>(whole))) return -1;
      done += whole;
      continue;
    }
    int chunk = FAST_BUFFER_SIZE - s->position;
    if (chunk > n - done) chunk = n - done;
    std::memcpy(s->buffer + s->position, in + done, static_cast<size_t>(chunk));
    s->position += chunk;
    done += chunk;
    if (s->position == FAST_BUFFER_SIZE && flush(*s) != 0) return -1;
  }
  return 0;
}

int _fastgetc(int slot) {
  Slot *s = open_slot(slot);
  if (!s) return -1;
  begin_read(*s);
  if (s->position >= s->count && !refill(*s)) return -1;
  return s->buffer[s->position++];
}

int _fastrewind(int slot) { return _fastseek(slot, 0, 0) < 0 ? -1 : 0; }

long _fasttell(int slot) {
  Slot *s = open_slot(slot);
  if (!s) return -1;
  off_t at = lseek(s->fd, 0, SEEK_CUR);
  return at < 0 ? -1 : static_cast<long>(at - s->count + s->position);
}

long _fastseek(int slot, long offset, int origin) {
  Slot *s = open_slot(slot);
  if (!s) return -1;
  int whence;
  switch (origin) {
    case 0: whence = SEEK_SET; break;
    case 1: {
      long here = _fasttell(slot);
      if (here < 0) return -1;
      offset += here;
      whence = SEEK_SET;
      break;
    }
    case 2: whence = SEEK_END; break;
    default: return -1;
  }
  off_t at = lseek(s->fd, offset, whence);
  if (at < 0) return -1;
  s->position = s->count = 0;  // waiting output is dropped
  s->writing = false;
  return static_cast<long>(at);
}
