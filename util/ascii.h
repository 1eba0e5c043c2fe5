// ASCII character classes shared by the text helpers. Independent of the
// process locale.
#ifndef CORVEX_UTIL_ASCII_H
#define CORVEX_UTIL_ASCII_H

namespace corvex {

inline bool ascii_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool ascii_letter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool ascii_digit(unsigned char c) { return c >= '0' && c <= '9'; }
inline unsigned char ascii_upper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }
inline unsigned char ascii_lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

// A null text counts as the empty string.
inline const char *text_or_empty(const char *text) { return text ? text : ""; }

}  // namespace corvex

#endif
