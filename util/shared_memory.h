// Named POSIX shared memory: mapped regions that several processes share, and
// blocks that one process writes and another reads. Names start with "/".
// The region and block functions are exported for the record access layer's
// own shared state and its hand-over between programs.
//
// Every object is private to its user: it is made with O_EXCL and mode 0600,
// and an existing one is used only when it is a regular object of this
// program's effective user with no access for anyone else. An object another
// user made under the name (squatted) is refused; it is never locked, mapped
// or read, so it can neither hold the program up nor feed it data.
#ifndef CORVEX_UTIL_SHARED_MEMORY_H
#define CORVEX_UTIL_SHARED_MEMORY_H

#include <cstddef>
#include <functional>
#include <string>

#include "util/export.h"

namespace corvex {

// Why map_shared gave no mapping.
enum class SharedRefusal {
  kNone,
  kNotPrivate,  // the name is taken by an object that is not this user's alone
  kBusy,        // another program of the user held the object's setup lock too long
  kFailed,      // the system refused (no shared memory, no memory), or prepare did
};

// Maps the object name of size bytes, creating it (zero-filled) when missing.
// prepare runs on the mapping while an exclusive flock on the object is held
// (waited for at most kSharedWaitMs), so that one process at a time sees a
// region that may not be set up yet; it sets up a region that needs it and
// returns false when the region is unusable. Returns the mapping, or null
// (nothing stays mapped then) with the reason in *why when why is not null.
CORVEX_EXPORT void *map_shared(const std::string &name, size_t size, const std::function<bool(void *)> &prepare,
                               SharedRefusal *why = nullptr);

// The longest a program waits for a lock of a shared object (its setup lock
// here, the robust mutexes of its users) before it gives up.
constexpr int kSharedWaitMs = 3000;

// Unmaps a region from map_shared.
CORVEX_EXPORT void unmap_shared(void *region, size_t size);

// Removes the name of an object; mappings stay valid until unmapped.
CORVEX_EXPORT void remove_shared(const std::string &name);

// Makes a new object holding size bytes of data; an old object of the same
// name is replaced. False when it cannot be made.
CORVEX_EXPORT bool write_block(const std::string &name, const void *data, size_t size);

// Reads the whole object into bytes. False when it is missing, not private to
// this user, or holds more than max bytes (its content is untrusted: callers
// check what they get).
CORVEX_EXPORT bool read_block(const std::string &name, size_t max, std::string *bytes);

// Makes a new object holding text and its terminator; an old object of the
// same name is replaced. False when it cannot be made.
bool write_text_block(const std::string &name, const char *text);

// Copies at most max characters of the block's text into target with nstrncpy
// (target holds max + 1 bytes). The block's content is untrusted: the copy ends
// at its end when no terminator comes first. False when the block is missing.
bool read_text_block(const std::string &name, char *target, int max);

}  // namespace corvex

#endif
