// Reading a whole outside file (a description, a list of names) with a bound
// on its size: only a regular file is read, and one larger than the bound is
// refused before any of it is kept, so a device, a pipe or a huge file never
// takes the program's memory.
#ifndef CORVEX_UTIL_BOUNDED_READ_H
#define CORVEX_UTIL_BOUNDED_READ_H

#include <stddef.h>

#include <string>

namespace corvex {

enum class BoundedRead {
  kOk,
  kCannotOpen,  // missing, unreadable, or a read failed
  kNotRegular,  // a device, pipe, directory or socket
  kTooLarge,    // more than the bound
};

// Reads the file at `path` into *text when it is a regular file of at most
// `max` bytes.
BoundedRead read_bounded(const char *path, size_t max, std::string *text);

// What went wrong, for a message: "cannot be read", "is not a regular file",
// "is larger than N bytes".
std::string bounded_read_problem(BoundedRead result, size_t max);

}  // namespace corvex

#endif
