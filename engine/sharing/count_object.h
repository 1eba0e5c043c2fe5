// The shared-memory object that holds one table's change count: who may make
// it, which existing object a program may trust, and the removal of objects
// nobody uses.
//
// Only the table's owner can write a table that is not writable by its group
// or by others (apart from privileged programs), so the count is kept only
// for such tables, and only by programs running as the table's owner or as
// root. The object is made with O_EXCL and mode 0600 and belongs to the
// table's owner (root gives it to the owner). An existing object is used only
// when it is a regular object of that owner with no access for anyone else:
// an object another user made (squatted or pinned) is refused, and the
// program reads the table under the header lock instead, as for a table whose
// group or others may write it. An object of the owner that others may use
// (as earlier versions made them) is refused too while any program holds
// it, and replaced by a private one once none does. Every program that can
// write such a table therefore either keeps the count or cannot open it for
// writing.
//
// Every user holds a read lock on byte 0 of the object. An object is removed
// only by a holder of the write lock on byte 0 that finds it still linked, so
// a program that opened the name just before the removal sees the object gone
// once its own lock is granted (st_nlink 0) and opens the name again.
#ifndef CORVEX_ENGINE_SHARING_COUNT_OBJECT_H
#define CORVEX_ENGINE_SHARING_COUNT_OBJECT_H

#include <stddef.h>
#include <sys/stat.h>

namespace corvex {

// Names of count objects start with this (after the "/" of shm_open).
constexpr char kCountPrefix[] = "corvex-count-";

// True when this program may keep the count of the table `table` describes:
// the table is not writable by group or others and the program runs as its
// owner or as root.
bool count_allowed(const struct stat &table);

enum class CountObjectOpen {
  kOpened,   // *fd is the object, sized, holding a read lock on byte 0
  kRemoved,  // removed meanwhile (by its last user, or an unused object
             // open to others by this call): open the name again
  kRefused,  // another user's object, or not a plain private one (said once on stderr)
  kFailed,   // the system refused (no memory, no shared memory)
};

// Opens or makes the count object `name` of `size` bytes for the table
// `table` describes.
CountObjectOpen open_count_object(const char *name, const struct stat &table, size_t size, int *fd);

// Removes the object open on `fd` under `name` when no other program holds
// it; true when removed. The caller closes fd afterwards.
bool remove_count_if_unused(int fd, const char *name);

// Removes the object `name` when it is an object of `owner` that no program
// holds (also one open to others, as earlier versions made them).
void discard_count_object(const char *name, uid_t owner);

// Removes every count object of this user that no program holds: leftovers
// of killed programs and of tables that are gone. A program runs it once,
// when it starts to keep its first count.
void sweep_unused_counts();

}  // namespace corvex

#endif
