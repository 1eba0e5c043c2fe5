// Compress archives ("Compress v2.2"): add files to, extract them from, list
// or delete them from an archive file (".cmp") of LZW-coded members (see
// header.h for the file format, lzw.h and member.h for the coding).
//
// A run shows its progress in the progress window (util/progress/progress.h,
// layout kCompress) and asks there before it overwrites a file. Its other
// texts (the listing, notes per member, errors) go to the archive output that
// the program installed, and nowhere when none is installed.
//
// Writes go through a temporary file beside the archive, made new under an
// unguessable name ("<archive>~<8 random>.$$$", util/new_file.h), which
// replaces the archive only after a complete run, synced to disk first; a new
// archive is private (0600), an updated one keeps its mode. Extracted files
// are likewise written beside their final name and renamed over it when
// complete, so a link at that name is replaced, never written through.
#ifndef CORVEX_UTIL_ARCHIVE_ARCHIVE_H
#define CORVEX_UTIL_ARCHIVE_ARCHIVE_H

#include <string>

#include "util/export.h"

namespace corvex {

// The error kinds a run reports, numbered as the error report receives them.
enum ArchiveError {
  kArchiveNoTemporary = 0,  // "Unable to create temporary file."
  kArchiveNoMemory,         // "Not enough memory."
  kArchiveNotArchive,       // "Not a COMPRESS file."
  kArchiveCorrupt,          // "Corrupt COMPRESS file."
  kArchiveCannotCreate,     // "Unable to create."
  kArchiveCannotOpen,       // "Unable to open."
  kArchiveChecksum,         // "CRC failure."
  kArchiveDiskFull,         // "Bad disk write, disk full?"
};

// The text of an error kind ("" for an unknown one).
const char *archive_error_text(int kind);

class ArchiveOutput {
 public:
  virtual ~ArchiveOutput() = default;
  // A text of the run: the listing, notes per member. Lines end in "\r\n".
  virtual void message(const std::string &text) = 0;
  // An error of kind `kind` (ArchiveError) about `subject`: the file or member
  // concerned, or "" when it concerns the run.
  virtual void error(int kind, const std::string &subject) = 0;
};

}  // namespace corvex

CORVEX_EXTERN_C_BEGIN

// Runs the archive command of `options` (see options.h: exactly one of A, X,
// L, D, with B O Q P"..." T"...") on `archive` (".cmp" is added when the name
// has no extension) for the `count` names; a name that begins with "@" names a
// list file of further names, one a line. Without names "*.*" is used.
//
// Add and delete find the named files on disk; extract, list and delete take
// the members whose names (with "." added when they have none) match a name,
// lower-cased, under islike. Member names are the files' names lower-cased; a
// file whose name has more than 12 characters, or whose lower-cased name
// another file already took, is left out with a message, and the run then
// ends in failure once the others are in.
//
// Returns 0 when the run did all it was asked; -2 for a bad password or
// target option, an archive that cannot be opened for list or delete or is
// not a regular file, or a list file that cannot be opened, is not a regular
// file or is larger than 1 MB; -1 for every other failure (also when a member
// could not be extracted or a file was left out) and for a stop by the user.
CORVEX_EXPORT int compress_files(const char *options, const char *archive, int count, const char *const *names);

// compress_files with the names given as one text, split at blanks and tabs
// (at most 50 names; more give -1).
CORVEX_EXPORT int compress_file_list(const char *options, const char *archive, const char *text);

// Installs the output that later runs hand their texts to; null drops them.
// The output must outlive every run that uses it.
CORVEX_EXPORT void corvex_set_archive_output(corvex::ArchiveOutput *output);

CORVEX_EXTERN_C_END

#endif
