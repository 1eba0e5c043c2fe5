#include "access/picture.h"

#include <cstring>

#include "access/number_text.h"
#include "util/ascii.h"

namespace lumbra {
namespace {

using corvex::ascii_digit;

bool is_digit(char c) { return ascii_digit(static_cast<unsigned char>(c)); }

// At most kPictureMax characters of text.
std::string cut(const char *text) {
  text = corvex::text_or_empty(text);
  return std::string(text, strnlen(text, kPictureMax));
}

// The number text to edit: its leading blanks, zeros and "-" passed over, a
// "-" among them put back in front, trailing blanks removed; "" when the
// value is 0.
std::string number_to_edit(const char *number) {
  std::string text = cut(number);
  size_t start = text.find_first_not_of(" 0-");
  if (start == std::string::npos) return "";
  bool negative = text.find('-') < start;
  size_t end = text.find_last_not_of(' ') + 1;
  std::string rest = text.substr(start, end - start);
  // The value counts from the digits (and one point) at the start.
  size_t i = rest[0] == '+' ? 1 : 0;
  bool point = false, nonzero = false;
  for (; i < rest.size() && (is_digit(rest[i]) || (rest[i] == '.' && !point)); ++i) {
    point = point || rest[i] == '.';
    nonzero = nonzero || (is_digit(rest[i]) && rest[i] != '0');
  }
  if (!nonzero) return "";
  return negative ? "-" + rest : rest;
}

// A number is negative when it holds a "-" and a digit other than 0.
bool is_negative(const std::string &number) {
  return number.find('-') != std::string::npos && number.find_first_of("123456789") != std::string::npos;
}

struct Picture {
  std::string positions;  // without the markers
  bool parentheses = false;
  bool asterisks = false;
};

// Splits the markers off; false for a character a picture may not hold.
bool parse_picture(const char *picture, Picture *p) {
  for (char c : cut(picture)) {
    if (c == '(' || c == ')')
      p->parentheses = true;
    else if (c == '*')
      p->asterisks = true;
    else if (strchr("9Zz$+-,.", c) != nullptr)
      p->positions += c;
    else
      return false;
  }
  return true;
}

bool is_digit_slot(char c) { return c == ' ' || c == '0'; }

}  // namespace

std::string edit_number(const char *number_text, const char *picture_text, const char *currency) {
  Picture picture;
  if (!parse_picture(picture_text, &picture)) return "";
  const std::string &pic = picture.positions;
  size_t point = pic.find('.');
  int decimals = 0;
  if (point != std::string::npos)
    for (size_t i = point + 1; i < pic.size(); ++i) decimals += strchr("9Zz", pic[i]) != nullptr;
  std::string number = round_number_text(number_to_edit(number_text).c_str(), decimals);
  bool negative = is_negative(number);
  bool sign_position = pic.find_first_of("+-") != std::string::npos;

  std::string out = pic;
  for (char &c : out) c = c == '9' ? '0' : (c == 'Z' || c == 'z') ? ' ' : c;

  // Integer digits, from the point of number and picture leftwards.
  size_t number_point = std::min(number.find('.'), number.size());
  size_t picture_point = std::min(point, out.size());
  size_t at = picture_point;
  for (size_t n = number_point; n-- > 0;) {
    if (!is_digit(number[n])) continue;
    while (at > 0 && !is_digit_slot(out[at - 1])) --at;
    if (at == 0) return "";  // does not fit
    out[--at] = number[n];
  }
  // Decimal digits, from the point rightwards; the rest are dropped.
  if (point != std::string::npos) {
    at = point + 1;
    for (size_t n = number_point + 1; n < number.size(); ++n) {
      if (!is_digit(number[n])) continue;
      while (at < out.size() && !is_digit_slot(out[at])) ++at;
      if (at == out.size()) break;
      out[at++] = number[n];
    }
  }

  // Before the first digit (or the point): commas and blanks are fill, and
  // "$" and signs move up to the digits.
  size_t first = 0;
  while (first < out.size() && !is_digit(out[first]) && out[first] != '.') ++first;
  char fill = picture.asterisks ? '*' : ' ';
  std::string moving;
  for (size_t i = 0; i < first; ++i) {
    char &c = out[i];
    if (c == ' ' || c == ',') {
      c = fill;
    } else if (c == '$' || ((c == '+' || c == '-') && !picture.parentheses)) {
      moving += c;
      c = fill;
    }
  }
  if (negative && !sign_position && !picture.parentheses) {
    if (first < out.size() && out[first] == '0')
      out[first] = '-';
    else
      moving.insert(0, 1, '-');
  }
  if (moving.size() > first) return "";  // no room for the sign
  out.replace(first - moving.size(), moving.size(), moving);

  for (char &c : out) {
    if (c == '-' && !negative) c = ' ';
    if (c == '+' && negative) c = '-';
  }
  currency = corvex::text_or_empty(currency);
  if (currency[0] != '$') {
    for (size_t i = out.find('$'); i != std::string::npos; i = out.find('$', i + strlen(currency)))
      out.replace(i, 1, currency);
  }
  if (picture.parentheses) return (negative ? "(" : " ") + out + (negative ? ")" : " ");
  return out;
}

std::string fill_template(const char *text_arg, const char *templ_arg, bool from_right) {
  std::string text = cut(text_arg);
  size_t start = text.find_first_not_of(' ');
  text = start == std::string::npos ? "" : text.substr(start, text.find_last_not_of(' ') + 1 - start);
  std::string templ = corvex::text_or_empty(templ_arg);
  std::string out(templ.size(), ' ');
  size_t used = 0;
  bool blank = false;
  for (size_t k = 0; k < templ.size() && !blank; ++k) {
    size_t t = from_right ? templ.size() - 1 - k : k;
    bool text_left = used < text.size();
    char current = text_left ? text[from_right ? text.size() - 1 - used : used] : '\0';
    if (templ[t] == '#') {
      blank = !text_left;
      if (text_left) out[t] = current, ++used;
    } else {
      out[t] = templ[t];
      if (text_left && current == templ[t]) ++used;
    }
  }
  return out;
}

}  // namespace lumbra
