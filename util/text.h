// Text helpers of libcorvex: zero-terminated strings and fixed-width fields.
//
// Character classes are those of ASCII: white space is blank, tab, line feed,
// vertical tab, form feed and carriage return; case folding maps a..z onto A..Z
// and nothing else. A null text argument counts as the empty string.
#ifndef CORVEX_UTIL_TEXT_H
#define CORVEX_UTIL_TEXT_H

#include "util/export.h"

CORVEX_EXTERN_C_BEGIN

// Removes trailing blanks and tabs from text in place and returns text.
CORVEX_EXPORT char *trim(char *text);

// Address of the first character of text that is not white space (the
// terminator when there is none).
CORVEX_EXPORT char *leading(const char *text);

// Copies at most n characters of source into target, fills the rest of the
// first n bytes with zero bytes and stores a terminator at target[n]; target
// must hold n + 1 bytes. A negative n counts as 0. Returns target.
CORVEX_EXPORT char *nstrncpy(char *target, const char *source, int n);

// Copies at most n characters of source into target, stopping before the
// source's terminator. Stores no terminator; target must hold n bytes.
CORVEX_EXPORT void blcpy(char *target, const char *source, int n);

// Position (from 1) of the first occurrence of needle in text, 0 when there is
// none. An empty needle gives 1.
CORVEX_EXPORT int instr(const char *needle, const char *text);

// Index (from 0) of the first occurrence of character ch in text, or the length
// of text when it does not occur.
CORVEX_EXPORT int argpos(const char *text, int ch);

// Compares a and b case-folded, as unsigned bytes. Returns the difference of the
// first differing folded characters; when a ends first, -1 if b goes on, else 0.
CORVEX_EXPORT int casecmp(const char *a, const char *b);

// Compares at most the first n characters of a and b case-folded, stopping at
// the terminator of either. Returns the difference of the folded characters at
// the first mismatch (a terminator counts as 0), else 0.
CORVEX_EXPORT int casencmp(const char *a, const char *b, int n);

// 1 when text matches pattern, else 0. In the pattern "*" matches any run of
// characters (also none), "?" any one character, a backslash makes the next
// pattern character literal (a trailing backslash matches nothing), and every
// other character must equal the text character exactly (case counts).
CORVEX_EXPORT int islike(const char *text, const char *pattern);

// Fixed-width fields: width bytes without terminator, as held in records. Each
// function rearranges the field in place; a null field or a width below 1 is
// left alone. fill is the byte written into the freed positions.

// Moves everything up to the last non-blank byte to the right end of the field;
// the bytes before it become fill. Blanks at the start of the text move with
// it. When the last byte is not a blank and fill is a blank nothing changes.
CORVEX_EXPORT void just_right(char *field, int width, int fill);

// Moves the text without its leading and trailing blanks to the start of the
// field; the rest becomes fill. When the first byte is not a blank and fill is
// a blank nothing changes.
CORVEX_EXPORT void just_left(char *field, int width, int fill);

// Centres the text (without leading and trailing blanks): with n blanks left
// over, the field becomes n/2 (rounded down) fill bytes, the text, and fill up
// to the width.
CORVEX_EXPORT void just_center(char *field, int width, int fill);

// Replaces the leading and the trailing blanks with fill; nothing moves.
CORVEX_EXPORT void just_none(char *field, int width, int fill);

CORVEX_EXTERN_C_END

#endif
