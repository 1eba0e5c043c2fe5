#include "util/text.h"

#include "util/ascii.h"

namespace {

// Matches one pattern element at p against text character c; sets *next to the
// element after it. A trailing backslash matches nothing.
bool element_matches(const char *p, char c, const char **next) {
  if (*p == '?') {
    *next = p + 1;
    return true;
  }
  if (*p == '\\') {
    if (p[1] == '\0') return false;
    *next = p + 2;
    return p[1] == c;
  }
  *next = p + 1;
  return *p == c;
}

}  // namespace

// Walks text and pattern together. On a "*" the rest of the text is first tried
// against the pattern after it; on failure the "*" swallows one more character.
// Only the most recent "*" needs to be revisited: a later success through an
// earlier "*" is also reachable through the later one.
int islike(const char *text, const char *pattern) {
  const char *t = corvex::text_or_empty(text);
  const char *p = corvex::text_or_empty(pattern);
  const char *star = nullptr;  // pattern position just after the last "*"
  const char *star_text = nullptr;  // text position that "*" swallowed up to
  while (*t) {
    const char *next;
    if (*p == '*') {
      star = ++p;
      star_text = t;
    } else if (*p && element_matches(p, *t, &next)) {
      p = next;
      ++t;
    } else if (star) {
      p = star;
      t = ++star_text;
    } else {
      return 0;
    }
  }
  while (*p == '*') ++p;  // stars left over match the empty rest
  return *p == '\0';
}
