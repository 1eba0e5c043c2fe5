#include "engine/sharing/mapping.h"

#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/core/engine.h"
#include "engine/core/perblock.h"
#include "engine/sharing/changecount.h"
#include "util/fsinfo.h"

namespace corvex {

namespace {

// Mappings are made larger than the file, so that a file that grows by
// appends is mapped again only now and then; bytes past the end of the file
// are never touched.
constexpr size_t kSlack = size_t{4} << 20;

// The processor's cache line, the step of a prefetch.
constexpr uintptr_t kLine = 64;

struct View {
  int fd = -1;            // the handle the view belongs to
  bool plain = false;     // not mapped: the callers use pread
  bool writable = false;  // a data file open for writing: mapped for writing too
  char *base = nullptr;
  size_t maplen = 0;      // bytes mapped
  size_t size = 0;        // the file size last seen
  uint64_t call = 0;      // the engine call in which `size` was last looked at
  uint64_t shrunk = 0;    // g_shrunk when `size` was last looked at

  ~View() { unmap(); }
  void unmap() {
    if (base) munmap(base, maplen);
    base = nullptr;
    maplen = 0;
  }
};

struct Views {
  View files[2];
};

bool g_enabled = true;
uint64_t g_call = 1;
uint64_t g_shrunk = 1;

// A copy out of a mapping faults with SIGBUS where the file no longer
// reaches. The copy runs under a guard that the handler jumps back to;
// faults outside a guard go to the disposition found before.
thread_local sigjmp_buf *t_guard = nullptr;
struct sigaction g_previous;

void on_sigbus(int sig, siginfo_t *, void *) {
  if (t_guard) siglongjmp(*t_guard, 1);
  // Not a copy of ours: the fault happens again under the old disposition.
  sigaction(sig, &g_previous, nullptr);
}

void install_guard() {
  static bool installed = [] {
    struct sigaction sa = {};
    sa.sa_sigaction = on_sigbus;
    sa.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    return sigaction(SIGBUS, &sa, &g_previous) == 0;
  }();
  (void)installed;
}

// Copies `n` bytes out of or into a mapping; false when the file ended
// under them.
bool guarded_copy(char *out, const char *from, size_t n) {
  sigjmp_buf env;
  if (sigsetjmp(env, 0) != 0) {
    t_guard = nullptr;
    return false;
  }
  t_guard = &env;
  memcpy(out, from, n);
  t_guard = nullptr;
  return true;
}

PerBlock<Views> &all_views() {
  static PerBlock<Views> views;
  return views;
}

int fd_of(const fhrequest *block, MappedFile which) { return which == MAPPED_DATA ? block->datfd : block->idxfd; }

// Looks at the file size and maps the file when it outgrew the mapping.
// False when the file cannot be mapped now.
bool refresh(View *v) {
  struct stat st;
  if (fstat(v->fd, &st) != 0 || st.st_size < 0) return false;
  size_t size = static_cast<size_t>(st.st_size);
  if (size > v->maplen) {
    v->unmap();
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t len = (size + size / 4 + kSlack + page - 1) / page * page;
    void *p = v->writable ? mmap(nullptr, len, PROT_READ | PROT_WRITE, MAP_SHARED, v->fd, 0) : MAP_FAILED;
    if (p == MAP_FAILED) {
      v->writable = false;
      p = mmap(nullptr, len, PROT_READ, MAP_SHARED, v->fd, 0);
    }
    if (p == MAP_FAILED) {
      v->size = 0;
      return false;
    }
    v->base = static_cast<char *>(p);
    v->maplen = len;
    install_guard();
  }
  v->size = size;
  return true;
}

// The view of the block's file, current for a read up to byte `end`; null
// when the file is to be read with pread.
View *view_for(const fhrequest *block, MappedFile which, uint64_t end) {
  int fd = fd_of(block, which);
  if (!g_enabled || fd < 0) return nullptr;
  Views *views = all_views().get(block);
  if (!views) return nullptr;
  View *v = &views->files[which];
  if (v->fd != fd) {
    v->unmap();
    v->fd = fd;
    v->size = 0;
    v->call = 0;
    v->plain = network_filesystem(fd) != nullptr;
    v->writable = which == MAPPED_DATA && (fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDWR;
  }
  if (v->plain) return nullptr;
  bool stale = end > v->size || v->shrunk != g_shrunk || (v->call != g_call && block_rereads(block));
  if (stale) {
    v->call = g_call;
    v->shrunk = g_shrunk;
    if (!refresh(v)) return nullptr;
  }
  return v;
}

}  // namespace

ssize_t mapped_read(const fhrequest *block, MappedFile which, uint64_t pos, char *out, size_t len) {
  View *v = view_for(block, which, pos + len);
  if (!v) return -1;
  if (pos >= v->size) return 0;
  size_t n = v->size - pos < len ? v->size - pos : len;
  if (guarded_copy(out, v->base + pos, n)) return static_cast<ssize_t>(n);
  // Another program cut the file: its size is looked at again next time.
  v->size = 0;
  return -1;
}

const uint8_t *mapped_at(const fhrequest *block, MappedFile which, uint64_t pos, size_t len) {
  View *v = view_for(block, which, pos + len);
  if (!v || pos + len > v->size) return nullptr;
  return reinterpret_cast<const uint8_t *>(v->base + pos);
}

bool mapped_write(const fhrequest *block, MappedFile which, uint64_t pos, const char *data, size_t len) {
  View *v = view_for(block, which, pos + len);
  if (!v || !v->writable || pos + len > v->size) return false;
  if (guarded_copy(v->base + pos, data, len)) return true;
  v->size = 0;
  return false;
}

void mapped_prefetch(const fhrequest *block, MappedFile which, const uint32_t *pos, int n, size_t len) {
  if (n <= 0) return;
  View *v = view_for(block, which, 0);
  if (!v || !v->base) return;
  for (int i = 0; i < n; i++) {
    if (pos[i] + static_cast<uint64_t>(len) > v->size) continue;
    uintptr_t from = reinterpret_cast<uintptr_t>(v->base + pos[i]);
    for (uintptr_t line = from & ~(kLine - 1); line < from + len; line += kLine) {
      __builtin_prefetch(reinterpret_cast<const void *>(line));
    }
  }
}

void mapping_next_call() { g_call++; }

void mapping_shrunk() { g_shrunk++; }

void mapping_forget(const fhrequest *block, MappedFile which) {
  Views *views = all_views().find(block);
  if (!views) return;
  View &v = views->files[which];
  v.unmap();
  v.fd = -1;
}

void mapping_release(const fhrequest *block) { all_views().erase(block); }

void mapping_enable(bool on) {
  g_enabled = on;
  all_views().clear();
}

}  // namespace corvex
