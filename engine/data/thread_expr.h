// Thread expressions: the condition that makes a record a member of a
// thread, evaluated on the record's unpacked image.
//
// An expression is an operand, optionally followed by an operator and the
// whole rest of the expression as its right-hand side, so operators group to
// the right without precedence: A - B - C is A - (B - C). Operands are a text
// literal in double or single quotes, a number (a digit, '-' or '.' followed
// by digits and '.'), a nested expression in ( ) or [ ], or an item name,
// which stands for the text of the item's first element without its trailing
// spaces (a number when the item's type is 'D', 'I', 'N', 'S' or a digit).
// Operators, matched in this order: AND, OR, <=, <>, >=, <, >, =, *, +, -, /.
// A comparison converts its right side to the kind of its left; AND, OR and
// arithmetic take both sides as numbers. Any other character after an
// operand ends the expression.
#ifndef CORVEX_ENGINE_DATA_THREAD_EXPR_H
#define CORVEX_ENGINE_DATA_THREAD_EXPR_H

#include "engine/fhrequest.h"

namespace corvex {

// Evaluates `expr` (at most FID_THREADEXPRMAX characters are looked at) on
// `image` with the items of `block` and stores the final value, as a number,
// in `result`. Returns 0, or 44 when an operand is missing or malformed, a
// quote or bracket is not closed, or an item name is unknown. Division by
// zero gives 0.
int expr_evaluate(fhrequest *block, const char *expr, const char *image, double *result);

// Whether `image` belongs to the thread of `expr`: its value is not 0.
// Returns 0 or 44.
int expr_member(fhrequest *block, const char *expr, const char *image, bool *member);

// The number a text stands for: leading blanks skipped, an optional sign,
// digits with an optional decimal point; whatever follows is ignored, and a
// text without digits is 0.
double text_to_number(const char *text, size_t len);

}  // namespace corvex

#endif
