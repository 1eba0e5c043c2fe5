#include "util/fsinfo.h"

#include <stdio.h>
#include <sys/vfs.h>

#include <atomic>

namespace corvex {

namespace {
// Magic numbers of statfs(2)'s f_type.
constexpr long kNfs = 0x6969;
constexpr long kSmb = 0x517B;
constexpr long kCifs = 0xFF534D42;
constexpr long kSmb2 = 0xFE534D42;

std::atomic<bool> g_noted{false};
}  // namespace

const char *network_filesystem(int fd) {
  struct statfs info = {};
  if (fstatfs(fd, &info) != 0) return nullptr;
  switch (static_cast<long>(static_cast<unsigned long>(info.f_type) & 0xFFFFFFFFul)) {
    case kNfs:
      return "NFS";
    case kSmb:
    case kCifs:
    case kSmb2:
      return "SMB";
    default:
      return nullptr;
  }
}

void note_network_filesystem(const char *path, const char *kind, bool shared_mode) {
  if (g_noted.exchange(true)) return;
  if (shared_mode)
    fprintf(stderr, "corvex: %s is on a network file system (%s); records are shared through its locks\n", path,
            kind);
  else
    fprintf(stderr,
            "corvex: %s is on a network file system (%s) but opened in the single-user mode; "
            "no other machine may use it meanwhile (choose a shared network mode to share it)\n",
            path, kind);
}

}  // namespace corvex
