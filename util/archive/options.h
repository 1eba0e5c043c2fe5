// The options text of compress_files.
//
// The first character is not looked at; every further letter, in either case,
// is an option: A add, X extract, L list, D delete, B show code widths in the
// listing, O overwrite on extraction without asking, Q quiet listing,
// P"password" (up to 10 characters), T"target directory" (up to 40). Other
// characters are ignored.
#ifndef CORVEX_UTIL_ARCHIVE_OPTIONS_H
#define CORVEX_UTIL_ARCHIVE_OPTIONS_H

#include <stdint.h>

#include <string>

namespace corvex {

enum class ArchiveCommand { kNone, kAdd, kExtract, kList, kDelete };

constexpr size_t kPasswordMax = 10;
constexpr size_t kTargetMax = 40;

struct ArchiveOptions {
  ArchiveCommand command = ArchiveCommand::kNone;
  bool show_bits = false;
  bool overwrite = false;
  bool quiet = false;
  std::string password;
  std::string target;  // "" or a directory ending in a separator
  // The sum of the password's character codes modulo 256, added to every
  // stored byte.
  uint8_t offset() const;
};

enum class OptionsResult { kOk, kNoCommand, kBadPassword, kBadTarget };

// Reads `text` into *options. kNoCommand when not exactly one of A, X, L and D
// is given; kBadPassword or kBadTarget when P or T is not followed by a quoted
// text of at most its length.
OptionsResult parse_archive_options(const char *text, ArchiveOptions *options);

}  // namespace corvex

#endif
