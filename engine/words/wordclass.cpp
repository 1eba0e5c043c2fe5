#include "engine/words/wordclass.h"

#include "engine/words/words.h"
#include "util/ascii.h"

namespace corvex {

namespace {

bool is_upper(unsigned char c) { return c >= 'A' && c <= 'Z'; }

bool trailing_mark(char c) {
  switch (c) {
    case '.': case ':': case ';': case ',': case '!': case '"': case '\'': case '(': case ')':
      return true;
    default:
      return false;
  }
}

bool leading_mark(char c) { return c == '"' || c == '\'' || c == '(' || c == ')'; }

bool equals_folded(std::string_view word, std::string_view lower) {
  if (word.size() != lower.size()) return false;
  for (size_t i = 0; i < word.size(); i++) {
    if (ascii_lower(static_cast<unsigned char>(word[i])) != static_cast<unsigned char>(lower[i])) return false;
  }
  return true;
}

}  // namespace

std::string_view strip_word_marks(std::string_view word) {
  while (!word.empty() && trailing_mark(word.back())) word.remove_suffix(1);
  while (!word.empty() && leading_mark(word.front())) word.remove_prefix(1);
  return word;
}

bool word_class_accepted(std::string_view word, uint16_t flags) {
  size_t letters = 0, digits = 0, marks = 0, others = 0;
  for (size_t i = 0; i < word.size(); i++) {
    unsigned char c = static_cast<unsigned char>(word[i]);
    if (ascii_letter(c) || c == '-') {
      letters++;
    } else if (ascii_digit(c)) {
      digits++;
    } else {
      others++;
    }
    if (c == '.' || (c == '-' && i == 0)) marks++;
  }
  if (others > 0) return (flags & HYP_OTHERS) != 0;
  if (digits == 0) return letters > 0 && marks == 0;
  if (letters == 0 && marks == 0) return (flags & (HYP_MIXED | HYP_NUMBERS | HYP_DIGITS)) != 0;
  return (flags & HYP_MIXED) != 0;
}

bool word_is_indexed(std::string_view word) {
  const bool two_capitals = word.size() == 2 && is_upper(static_cast<unsigned char>(word[0])) &&
                            is_upper(static_cast<unsigned char>(word[1]));
  if (word.size() < 3 && !two_capitals) return false;
  return !equals_folded(word, "and") && !equals_folded(word, "the");
}

}  // namespace corvex
