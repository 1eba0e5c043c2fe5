// Translation of the fast-file open flags (util/fastfile.h) to the system's.
#ifndef CORVEX_UTIL_OPENFLAGS_H
#define CORVEX_UTIL_OPENFLAGS_H

namespace corvex {

// The sharing mode of an open (util/filelock.h).
enum class Sharing { kNone, kShared, kExclusive };

struct OpenMode {
  int oflags = 0;         // O_ flags for open(2); never O_TRUNC (see truncate)
  bool truncate = false;  // truncate once the sharing lock is held
  Sharing sharing = Sharing::kNone;
};

// Access 0x0004 (or 0x0001 with 0x0002) is read-write, 0x0002 write only, else
// read only. O_EXCL only comes with O_CREAT, which also brings O_NOFOLLOW. Descriptors are close-on-exec.
OpenMode map_open_flags(int flags);

}  // namespace corvex

#endif
