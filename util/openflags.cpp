#include "util/openflags.h"

#include <fcntl.h>

#include "util/fastfile.h"

namespace corvex {

OpenMode map_open_flags(int flags) {
  OpenMode m;
  bool read = flags & FAST_O_RDONLY, write = flags & FAST_O_WRONLY;
  if ((flags & FAST_O_RDWR) || (read && write))
    m.oflags = O_RDWR;
  else if (write)
    m.oflags = O_WRONLY;
  else
    m.oflags = O_RDONLY;
  m.oflags |= O_CLOEXEC;
  // An open that may make the file is an output: a link planted at its name
  // must not lead it to some other file.
  if (flags & FAST_O_CREAT) m.oflags |= O_CREAT | O_NOFOLLOW | ((flags & FAST_O_EXCL) ? O_EXCL : 0);
  if (flags & FAST_O_APPEND) m.oflags |= O_APPEND;
  m.truncate = flags & FAST_O_TRUNC;
  if (flags & FAST_O_DENYALL)
    m.sharing = Sharing::kExclusive;
  else if (flags & FAST_O_DENYNONE)
    m.sharing = Sharing::kShared;
  return m;
}

}  // namespace corvex

int fshare(const char *, int flags) { return flags | FAST_O_DENYNONE; }

int funshare(const char *, int flags) { return flags | FAST_O_DENYALL; }
