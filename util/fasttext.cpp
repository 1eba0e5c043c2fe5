// Byte, line and record helpers over the fast-file core.
#include <cstring>

#include "util/fastfile.h"

namespace {

constexpr int kEndOfFile = 26;
constexpr int kBlankRun = 30;
constexpr int kEscapeRun = 31;
constexpr char kEscape = 27;

}  // namespace

int _fastputc(int slot, int byte) {
  unsigned char b = static_cast<unsigned char>(byte);
  return _fastwrite(slot, &b, 1);
}

const char *_fastputs(int slot, const char *text) {
  if (!text) return nullptr;
  return _fastwrite(slot, text, static_cast<int>(std::strlen(text))) == 0 ? text : nullptr;
}

char *_fastgets(int slot, char *target, int max) {
  if (!target) return nullptr;
  int stored = 0;
  for (int examined = 0; examined < max; ++examined) {
    int c = _fastgetc(slot);
    if (c < 0 || c == kEndOfFile) {
      if (stored == 0) {
        target[0] = '\0';
        return nullptr;
      }
      break;
    }
    if (c == '\n') break;
    if (c == '\r') continue;
    target[stored++] = static_cast<char>(c);
  }
  target[stored] = '\0';
  return target;
}

// Expands while reading, so the record's encoded length is not limited and the
// expansion never passes width.
char *_fastagets(int slot, char *target, int width) {
  if (!target) return nullptr;
  size_t room = width > 0 ? static_cast<size_t>(width) : 0;
  size_t out = 0;
  auto emit = [&](char c, size_t n) {
    while (n-- > 0 && out < room) target[out++] = c;
  };
  for (;;) {
    int c = _fastgetc(slot);
    if (c < 0) return nullptr;
    if (c == 0) break;
    if (c == kBlankRun || c == kEscapeRun) {
      int n = _fastgetc(slot);
      if (n < 0) return nullptr;
      if (n == 0) break;  // the record ended where its count was due
      emit(c == kBlankRun ? ' ' : kEscape, static_cast<size_t>(n));
    } else {
      emit(static_cast<char>(c), 1);
    }
  }
  std::memset(target + out, ' ', room - out);
  return target;
}
