// Sequential field access at the buffer position of an open file: writing
// characters and fields to text output files (plain and delimited), reading
// fields and lines from text input files, and the line ends and final block of
// an output file. Record files use the same steps on their record buffer,
// without block transfers.
#ifndef LUMBRA_ACCESS_SEQIO_H
#define LUMBRA_ACCESS_SEQIO_H

#include <cstdint>

namespace lumbra {

struct kdb_file;
class BlockIO;

// Writes text at the buffer position: with width -1 up to its terminator,
// otherwise exactly width characters (the text while it lasts, then blanks).
// The column grows by one for each character. When the position reaches the
// record length, a text file's block is written and the position restarts at
// 0; a record file returns 8 at once (the characters up to the end are kept).
// Null text counts as "". Returns a return code.
int write_chars(kdb_file &f, BlockIO &io, const char *text, int width);

// Writes one field. On a delimited file the field goes between quotes, after
// a separator unless it is the first of its line. Returns a return code.
int put_field(kdb_file &f, BlockIO &io, const char *text, int width);

// Reads the next field of the current line into out. *len gives the most
// characters wanted (negative: 512, and no limit was asked for); out must
// have room for that many characters and a terminator (null stores nothing).
// A line file stops at the limit and leaves the rest of the line for the next
// call; a delimited file always consumes the whole field but stores no more
// than the limit. On success out is terminated and *len holds the characters
// stored. Returns 0, 10 (no more fields on this line, with a limit), 11 (end
// of file), 18 (past the end of a record buffer) or the code of a failed read.
int get_field(kdb_file &f, BlockIO &io, char *out, int16_t *len);

// Moves a text input file to the next line: clears the line-done flag when the
// line was read to its end, else skips the rest of the line. Returns 0, 11 at
// the end-of-file character, or the code of a failed read.
int next_line(kdb_file &f, BlockIO &io);

// Ends the current line of a text output file count times (a count of 0 or
// less writes nothing); the column restarts at 0. Returns a return code.
int write_line_ends(kdb_file &f, BlockIO &io, int count);

// Fills the rest of an output file's last block (line feeds with mode bit
// 0x8000, else the end-of-file character 26) and writes it.
int flush_output(kdb_file &f, BlockIO &io);

}  // namespace lumbra

#endif
