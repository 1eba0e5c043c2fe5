// Number texts as users type and see them: rounding to a number of decimals
// and taking the number back out of an edited text.
#ifndef LUMBRA_ACCESS_NUMBER_TEXT_H
#define LUMBRA_ACCESS_NUMBER_TEXT_H

#include <string>

namespace lumbra {

// The text after its leading white space, rounded to decimals digits after
// the point (negative counts as 0): when it has more, the first dropped
// digit, 5 or more, adds one to the last kept digit, carrying leftwards over
// digits, the point and commas; a carry out of the leftmost digit puts "1"
// in front of it (after a sign or currency mark). The point stays with 0
// decimals ("12.5" gives "13."), and what follows the decimals, such as a
// trailing "-", is kept. A text without a point, or with no more decimals
// than wanted, is returned as it is.
std::string round_number_text(const char *number, int decimals);

// The plain number of an edited text: after leading white space only the
// digits and points are kept, with one "-" in front when the text holds a
// "-" anywhere ("1,234.50-" gives "-1234.50"; parentheses do not count).
std::string unedit_number(const char *text);

}  // namespace lumbra

#endif
