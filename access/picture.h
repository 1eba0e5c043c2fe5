// Display pictures: numbers edited into a picture such as zzz,zz9.99, and
// texts filled into a template such as (###) ###-####.
#ifndef LUMBRA_ACCESS_PICTURE_H
#define LUMBRA_ACCESS_PICTURE_H

#include <string>

namespace lumbra {

// Only the first kPictureMax characters of a number, picture or template
// text are used.
constexpr size_t kPictureMax = 50;

// The number text edited into picture, or "" when the picture holds another
// character than those below, the number does not fit, or a negative number
// finds no place for its sign.
//   9        a digit, 0 where the number has none
//   Z z      a digit, blank where the number has none
//   .        the decimal point; the number is rounded to the digit positions
//            after it
//   ,        kept between digits, blank (or "*") before them
//   $        the currency text, moved up to the first digit
//   + -      sign positions: "+" shows "-" for a negative number, "-" shows
//            a blank for one that is not; before the digits they move up to
//            the first digit with "$"
//   ( )      anywhere: a negative number is shown in parentheses, others
//            between two blanks
//   *        anywhere: the places before the first digit are filled with "*"
// Without a sign position and parentheses a negative number gets a "-" just
// before its digits, or in place of a leading 0 of the picture. A currency
// text that begins with "$" leaves the "$" as it is. So 1234.5 in zzz,zz9.99
// is "  1,234.50", -5 in zz9 is " -5", 5 in $zz9 with currency "DM" is
// "  DM5". Leading blanks, zeros and "-" of the number text are passed over
// (a "-" among them makes it negative, as does one further on), and a number
// that is 0, or rounds to 0 in the picture, is shown without a sign.
std::string edit_number(const char *number, const char *picture, const char *currency);

// The text (without leading and trailing blanks) filled into template: each
// "#" takes one character of the text, every other template character is
// copied, and consumes the text's current character when that is the same
// (so "(555)123-4567" fills "(###) ###-####" like "5551234567" does). From
// the right when from_right, else from the left. Once the text is used up,
// the next "#" and everything after it in the walking direction become
// blanks; the result has the template's length.
std::string fill_template(const char *text, const char *templ, bool from_right);

}  // namespace lumbra

#endif
