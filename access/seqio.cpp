#include "access/seqio.h"

#include <cstring>

#include "access/block_io.h"
#include "access/kdb_file.h"
#include "access/result_buffer.h"
#include "access/return_code.h"

namespace lumbra {
namespace {

constexpr char kEofChar = 26;
constexpr int kDelimMax = 10;

// The delimiters of delimited text files, in the order they are matched.
enum Delim { kSeparator, kOpenQuote, kCloseQuote, kLineEnd, kDelimCount };
constexpr const char *kDelims[kDelimCount] = {",", "\"", "\"", "\r\n"};

// Stores one character at the buffer position (see write_chars).
int write_char(kdb_file &f, BlockIO &io, char c) {
  fhrequest &r = f.req;
  if (f.bufpos >= r.reclen) {
    // A position at or past the end (an appended file whose last block is
    // full, or a restart beyond the buffer) must not store past the buffer.
    if (is_record_file(f)) return kPastRecordEnd;
    if (int rc = io.write_block(f)) return rc;
    f.bufpos = 0;
  }
  r.recbuf[f.bufpos++] = c;
  ++f.column;
  if (f.bufpos >= r.reclen) {
    if (is_record_file(f)) return kPastRecordEnd;
    if (int rc = io.write_block(f)) return rc;
    f.bufpos = 0;
  }
  return kOk;
}

// Takes the next character of the file into *c, reading the next block when
// the position has reached the record length.
int next_char(kdb_file &f, BlockIO &io, char *c) {
  fhrequest &r = f.req;
  if (f.bufpos >= r.reclen) {
    if (is_record_file(f)) return kReadPastEnd;
    if (int rc = io.read_block(f)) return rc;
    f.bufpos = 0;
  }
  *c = r.recbuf[f.bufpos++];
  return *c == kEofChar ? kEndOfFile : kOk;
}

// The caller's output buffer of get_field: keeps at most limit characters,
// counts every character offered.
class FieldOut {
 public:
  FieldOut(char *out, int limit) : out_(out), limit_(limit) {}
  void add(char c) {
    if (out_ != nullptr && stored_ < limit_) out_[stored_++] = c;
    ++seen_;
  }
  int seen() const { return seen_; }
  int stored() const { return stored_; }
  // Terminates the text and reports its length.
  int finish(int16_t *len) {
    if (len != nullptr) *len = static_cast<int16_t>(stored_);
    return kOk;
  }
  ~FieldOut() {
    if (out_ != nullptr) out_[stored_] = '\0';
  }

 private:
  char *out_;
  int limit_;
  int stored_ = 0;
  int seen_ = 0;
};

// Whether delimiter d is looked for (inside quotes only the closing quote
// and the line end are).
bool active(int d, bool quoted) { return !quoted || (d != kSeparator && d != kOpenQuote); }

// Matches the pending text against the active delimiters: the delimiter it
// equals, -2 when it is only the beginning of one, -1 when neither.
int match_delim(const char *pend, int n, bool quoted) {
  bool prefix = false;
  for (int d = 0; d < kDelimCount; ++d) {
    if (!active(d, quoted)) continue;
    size_t dl = strlen(kDelims[d]);
    if (static_cast<size_t>(n) > dl || memcmp(pend, kDelims[d], n) != 0) continue;
    if (static_cast<size_t>(n) == dl) return d;
    prefix = true;
  }
  return prefix ? -2 : -1;
}

int get_line_field(kdb_file &f, BlockIO &io, FieldOut &out, int limit, bool limited,
                   int16_t *len) {
  for (;;) {
    if (out.seen() >= limit) return out.finish(len);
    char c;
    if (int rc = next_char(f, io, &c)) return rc;
    if (c == '\n') {
      f.flags |= kLineDone;
      if (out.seen() == 0 && limited) return kNoMoreFields;
      return out.finish(len);
    }
    if (c != '\r') out.add(c);
  }
}

int get_delimited_field(kdb_file &f, BlockIO &io, FieldOut &out, bool limited, int16_t *len) {
  char pend[kDelimMax];
  int np = 0;
  bool quoted = false;
  for (;;) {
    char c;
    if (int rc = next_char(f, io, &c)) return rc;
    pend[np++] = c;
    while (np > 0) {
      int d = match_delim(pend, np, quoted);
      if (d == -2) break;  // the beginning of a delimiter: read on
      if (d == -1) {
        // No delimiter: the first pending character is data and the rest is
        // examined again, so a carriage return without its line feed is kept.
        out.add(pend[0]);
        memmove(pend, pend + 1, --np);
        continue;
      }
      np = 0;
      switch (d) {
        case kSeparator: return out.finish(len);
        case kOpenQuote: quoted = true; break;
        case kCloseQuote: quoted = false; break;
        case kLineEnd:
          f.flags |= kLineDone;
          if (out.seen() == 0 && limited) return kNoMoreFields;
          return out.finish(len);
      }
    }
  }
}

}  // namespace

int write_chars(kdb_file &f, BlockIO &io, const char *text, int width) {
  if (text == nullptr) text = "";
  if (width == -1) {
    for (const char *p = text; *p != '\0'; ++p)
      if (int rc = write_char(f, io, *p)) return rc;
    return kOk;
  }
  bool ended = false;
  for (int i = 0; i < width; ++i) {
    if (!ended && text[i] == '\0') ended = true;
    if (int rc = write_char(f, io, ended ? ' ' : text[i])) return rc;
  }
  return kOk;
}

int put_field(kdb_file &f, BlockIO &io, const char *text, int width) {
  if (is_delimited(f)) {
    if (f.flags & kFieldOnLine) {
      if (int rc = write_chars(f, io, kDelims[kSeparator], -1)) return rc;
    }
    f.flags |= kFieldOnLine;
    if (int rc = write_chars(f, io, kDelims[kOpenQuote], -1)) return rc;
  }
  int rc = write_chars(f, io, text, width);
  if (rc != kOk || !is_delimited(f)) return rc;
  return write_chars(f, io, kDelims[kCloseQuote], -1);
}

int get_field(kdb_file &f, BlockIO &io, char *out, int16_t *len) {
  int want = len != nullptr ? *len : -1;
  int limit = want < 0 ? static_cast<int>(kResultMax) : want;
  bool limited = limit != static_cast<int>(kResultMax);
  if (f.flags & kLineDone) return kNoMoreFields;
  FieldOut field(out, limit);
  if (f.type == kDelimIn) return get_delimited_field(f, io, field, limited, len);
  return get_line_field(f, io, field, limit, limited, len);
}

int next_line(kdb_file &f, BlockIO &io) {
  if (f.flags & kLineDone) {
    f.flags &= ~kLineDone;
    return kOk;
  }
  f.req.mode &= ~FH_STAY;
  const char *end = f.type == kDelimIn ? kDelims[kLineEnd] : "\n";
  size_t matched = 0;
  for (;;) {
    char c;
    if (int rc = next_char(f, io, &c)) return rc;
    if (c == end[matched]) {
      if (end[++matched] == '\0') return kOk;
    } else {
      matched = c == end[0] ? 1 : 0;
      if (end[matched] == '\0') return kOk;
    }
  }
}

int write_line_ends(kdb_file &f, BlockIO &io, int count) {
  const char *end = kDelims[kLineEnd];
  if (f.type == kTextOut && (f.req.mode & kModeLineFeed)) end = "\n";
  for (int i = 0; i < count; ++i) {
    if (int rc = write_chars(f, io, end, -1)) return rc;
    f.column = 0;
  }
  if (f.type == kDelimOut) f.flags &= ~kFieldOnLine;
  return kOk;
}

int flush_output(kdb_file &f, BlockIO &io) {
  fhrequest &r = f.req;
  char fill = (r.mode & kModeLineFeed) ? '\n' : kEofChar;
  if (f.bufpos < r.reclen) memset(r.recbuf + f.bufpos, fill, r.reclen - f.bufpos);
  int rc = io.write_block(f);
  if (rc == kOk) f.bufpos = start_position(f);
  return rc;
}

}  // namespace lumbra
