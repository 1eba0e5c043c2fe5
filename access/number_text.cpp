#include "access/number_text.h"

#include "util/ascii.h"

namespace lumbra {

using corvex::ascii_digit;
using corvex::ascii_space;

std::string round_number_text(const char *number, int decimals) {
  const char *p = corvex::text_or_empty(number);
  while (ascii_space(static_cast<unsigned char>(*p))) ++p;
  std::string text = p;
  if (decimals < 0) decimals = 0;
  size_t point = text.find('.');
  if (point == std::string::npos) return text;
  size_t digits_end = point + 1;
  while (digits_end < text.size() && ascii_digit(static_cast<unsigned char>(text[digits_end])))
    ++digits_end;
  size_t cut = point + 1 + static_cast<size_t>(decimals);
  if (digits_end <= cut) return text;
  std::string rounded = text.substr(0, cut);
  if (text[cut] >= '5') {
    size_t i = rounded.size();
    bool carry = true;
    while (carry && i > 0) {
      char &c = rounded[i - 1];
      if (c == '.' || c == ',') {
        --i;
      } else if (c == '9') {
        c = '0';
        --i;
      } else if (ascii_digit(static_cast<unsigned char>(c))) {
        ++c;
        carry = false;
      } else {
        break;
      }
    }
    if (carry) rounded.insert(i, 1, '1');
  }
  return rounded + text.substr(digits_end);
}

std::string unedit_number(const char *text) {
  const char *p = corvex::text_or_empty(text);
  while (ascii_space(static_cast<unsigned char>(*p))) ++p;
  std::string plain;
  bool negative = false;
  for (; *p != '\0'; ++p) {
    if (*p == '-')
      negative = true;
    else if (*p == '.' || ascii_digit(static_cast<unsigned char>(*p)))
      plain += *p;
  }
  return negative ? "-" + plain : plain;
}

}  // namespace lumbra
