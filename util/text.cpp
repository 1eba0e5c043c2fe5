#include "util/text.h"

#include <cstring>

#include "util/ascii.h"

using corvex::ascii_space;
using corvex::ascii_upper;
using corvex::text_or_empty;

char *trim(char *text) {
  if (!text) return text;
  size_t n = std::strlen(text);
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
  text[n] = '\0';
  return text;
}

char *leading(const char *text) {
  static char empty[1];
  if (!text) return empty;
  while (ascii_space(static_cast<unsigned char>(*text))) ++text;
  return const_cast<char *>(text);
}

char *nstrncpy(char *target, const char *source, int n) {
  if (!target) return target;
  source = text_or_empty(source);
  size_t count = n > 0 ? static_cast<size_t>(n) : 0;
  size_t i = 0;
  for (; i < count && source[i]; ++i) target[i] = source[i];
  std::memset(target + i, 0, count - i + 1);
  return target;
}

void blcpy(char *target, const char *source, int n) {
  if (!target) return;
  source = text_or_empty(source);
  for (int i = 0; i < n && source[i]; ++i) target[i] = source[i];
}

int instr(const char *needle, const char *text) {
  const char *found = std::strstr(text_or_empty(text), text_or_empty(needle));
  return found ? static_cast<int>(found - text_or_empty(text)) + 1 : 0;
}

int argpos(const char *text, int ch) {
  text = text_or_empty(text);
  const char *p = text;
  while (*p && *p != static_cast<char>(ch)) ++p;
  return static_cast<int>(p - text);
}

int casecmp(const char *a, const char *b) {
  const auto *x = reinterpret_cast<const unsigned char *>(text_or_empty(a));
  const auto *y = reinterpret_cast<const unsigned char *>(text_or_empty(b));
  for (; *x; ++x, ++y) {
    int d = ascii_upper(*x) - ascii_upper(*y);
    if (d != 0) return d;
  }
  return *y ? -1 : 0;
}

int casencmp(const char *a, const char *b, int n) {
  const auto *x = reinterpret_cast<const unsigned char *>(text_or_empty(a));
  const auto *y = reinterpret_cast<const unsigned char *>(text_or_empty(b));
  for (int i = 0; i < n; ++i) {
    int d = ascii_upper(x[i]) - ascii_upper(y[i]);
    if (d != 0) return d;
    if (x[i] == 0) break;  // both ended here
  }
  return 0;
}
