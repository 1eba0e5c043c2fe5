#include "util/text.h"

#include <cstring>

namespace {

// The text of a field: the bytes from the first to the last non-blank one.
struct Span {
  int first;  // width when the field is all blanks
  int end;    // one past the last non-blank byte
};

Span text_span(const char *field, int width) {
  int end = width;
  while (end > 0 && field[end - 1] == ' ') --end;
  int first = 0;
  while (first < end && field[first] == ' ') ++first;
  return {end == 0 ? width : first, end};
}

// Writes the text of the field at position at, with fill before and after.
void place(char *field, int width, Span span, int at, int fill) {
  int length = span.end > span.first ? span.end - span.first : 0;
  std::memmove(field + at, field + span.first, static_cast<size_t>(length));
  std::memset(field, fill, static_cast<size_t>(at));
  std::memset(field + at + length, fill, static_cast<size_t>(width - at - length));
}

}  // namespace

void just_right(char *field, int width, int fill) {
  if (!field || width < 1) return;
  if (field[width - 1] != ' ' && fill == ' ') return;
  // Leading blanks of the text move with it, so the moved run starts at 0.
  Span span = text_span(field, width);
  Span moved{0, span.end};
  place(field, width, moved, width - span.end, fill);
}

void just_left(char *field, int width, int fill) {
  if (!field || width < 1) return;
  if (field[0] != ' ' && fill == ' ') return;
  place(field, width, text_span(field, width), 0, fill);
}

void just_center(char *field, int width, int fill) {
  if (!field || width < 1) return;
  Span span = text_span(field, width);
  int length = span.end > span.first ? span.end - span.first : 0;
  place(field, width, span, (width - length) / 2, fill);
}

void just_none(char *field, int width, int fill) {
  if (!field || width < 1) return;
  Span span = text_span(field, width);
  std::memset(field, fill, static_cast<size_t>(span.first));
  std::memset(field + span.end, fill, static_cast<size_t>(width - span.end));
}
