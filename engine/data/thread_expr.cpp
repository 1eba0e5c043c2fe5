#include "engine/data/thread_expr.h"

#include <string.h>

#include <charconv>
#include <string>
#include <string_view>

#include "engine/fid/fid.h"
#include "util/ascii.h"
#include "util/numbers.h"

namespace corvex {

namespace {

struct Value {
  bool numeric = false;
  double number = 0;
  std::string_view text;

  double as_number() const { return numeric ? number : text_to_number(text.data(), text.size()); }
};

bool is_name_char(unsigned char c) { return ascii_letter(c) || ascii_digit(c) || c == '_'; }

bool is_numeric_type(char type) {
  unsigned char t = ascii_upper(static_cast<unsigned char>(type));
  return t == 'D' || t == 'I' || t == 'N' || t == 'S' || ascii_digit(t);
}

class Evaluator {
 public:
  Evaluator(fhrequest *block, std::string_view expr, const char *image)
      : block_(block), expr_(expr), image_(image) {}

  // Evaluates from the current position to a closing bracket or the end.
  bool expression(Value *out) {
    if (!operand(out)) return false;
    skip_blanks();
    int op = match_operator();
    if (op == kNone) return true;
    Value rhs;
    if (!expression(&rhs)) return false;
    apply(op, out, rhs);
    return true;
  }

 private:
  enum { kNone, kAnd, kOr, kLe, kNe, kGe, kLt, kGt, kEq, kMul, kAdd, kSub, kDiv };

  bool at_end() const { return pos_ >= expr_.size(); }
  char peek() const { return at_end() ? '\0' : expr_[pos_]; }
  void skip_blanks() {
    while (!at_end() && (expr_[pos_] == ' ' || expr_[pos_] == '\t')) pos_++;
  }

  bool starts_with_word(const char *word) const {
    size_t n = strlen(word);
    if (expr_.size() - pos_ < n) return false;
    for (size_t i = 0; i < n; i++) {
      if (ascii_upper(static_cast<unsigned char>(expr_[pos_ + i])) != static_cast<unsigned char>(word[i])) return false;
    }
    return true;
  }

  int match_operator() {
    static const struct {
      const char *text;
      int op;
    } kOps[] = {{"AND", kAnd}, {"OR", kOr}, {"<=", kLe}, {"<>", kNe}, {">=", kGe}, {"<", kLt},
                {">", kGt},    {"=", kEq},  {"*", kMul}, {"+", kAdd}, {"-", kSub}, {"/", kDiv}};
    for (const auto &o : kOps) {
      if (starts_with_word(o.text)) {
        pos_ += strlen(o.text);
        return o.op;
      }
    }
    return kNone;
  }

  bool operand(Value *out) {
    skip_blanks();
    char c = peek();
    if (c == '"' || c == '\'') {
      size_t close = expr_.find(c, pos_ + 1);
      if (close == std::string_view::npos) return false;
      out->text = expr_.substr(pos_ + 1, close - pos_ - 1);
      pos_ = close + 1;
      return true;
    }
    if (ascii_digit(static_cast<unsigned char>(c)) || c == '-' || c == '.') {
      size_t start = pos_++;
      while (!at_end() && (ascii_digit(static_cast<unsigned char>(expr_[pos_])) || expr_[pos_] == '.')) pos_++;
      out->numeric = true;
      out->number = text_to_number(expr_.data() + start, pos_ - start);
      return true;
    }
    if (c == '(' || c == '[') {
      char closer = c == '(' ? ')' : ']';
      pos_++;
      if (!expression(out)) return false;
      skip_blanks();
      if (peek() != closer) return false;
      pos_++;
      return true;
    }
    if (ascii_letter(static_cast<unsigned char>(c)) || c == '_') return item(out);
    return false;
  }

  bool item(Value *out) {
    char name[FID_NAMELEN + 1] = {};
    size_t n = 0;
    while (!at_end() && is_name_char(static_cast<unsigned char>(expr_[pos_]))) {
      if (n >= FID_NAMELEN) return false;
      name[n++] = static_cast<char>(ascii_upper(static_cast<unsigned char>(expr_[pos_++])));
    }
    int32_t i = _fhfidoffset(block_, name);
    if (i < 0) return false;
    const fhitemdef &def = block_->itemdefs[i];
    size_t len = def.length;
    if (def.offset >= block_->reclen) len = 0;
    else if (len > static_cast<size_t>(block_->reclen - def.offset)) len = block_->reclen - def.offset;
    const char *text = image_ + def.offset;
    while (len > 0 && text[len - 1] == ' ') len--;
    out->text = std::string_view(text, len);
    if (is_numeric_type(def.type)) {
      out->numeric = true;
      out->number = text_to_number(text, len);
    }
    return true;
  }

  static int compare(Value *lhs, const Value &rhs) {
    if (lhs->numeric) return numcmp(lhs->number, rhs.as_number());
    std::string_view r = rhs.text;
    std::string converted;
    if (rhs.numeric) {
      converted = flasc(rhs.number);
      r = converted;
    }
    int c = lhs->text.compare(r);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }

  static void apply(int op, Value *lhs, const Value &rhs) {
    double result = 0;
    switch (op) {
      case kAnd: result = lhs->as_number() != 0 && rhs.as_number() != 0; break;
      case kOr: result = lhs->as_number() != 0 || rhs.as_number() != 0; break;
      case kLe: result = compare(lhs, rhs) <= 0; break;
      case kNe: result = compare(lhs, rhs) != 0; break;
      case kGe: result = compare(lhs, rhs) >= 0; break;
      case kLt: result = compare(lhs, rhs) < 0; break;
      case kGt: result = compare(lhs, rhs) > 0; break;
      case kEq: result = compare(lhs, rhs) == 0; break;
      case kMul: result = lhs->as_number() * rhs.as_number(); break;
      case kAdd: result = lhs->as_number() + rhs.as_number(); break;
      case kSub: result = lhs->as_number() - rhs.as_number(); break;
      case kDiv: {
        double d = rhs.as_number();
        result = d == 0 ? 0 : lhs->as_number() / d;
        break;
      }
    }
    lhs->numeric = true;
    lhs->number = result;
    lhs->text = {};
  }

  fhrequest *block_;
  std::string_view expr_;
  const char *image_;
  size_t pos_ = 0;
};

}  // namespace

double text_to_number(const char *text, size_t len) {
  size_t i = 0;
  while (i < len && (text[i] == ' ' || text[i] == '\t')) i++;
  size_t start = i;
  if (i < len && (text[i] == '-' || text[i] == '+')) i++;
  bool negative = start < len && text[start] == '-';
  size_t digits = i;
  while (i < len && (ascii_digit(static_cast<unsigned char>(text[i])) || text[i] == '.')) i++;
  double value = 0;
  // from_chars takes no '+' sign, so the digits are parsed without their sign.
  if (i > digits && std::from_chars(text + digits, text + i, value).ec != std::errc()) value = 0;
  return negative ? -value : value;
}

int expr_evaluate(fhrequest *block, const char *expr, const char *image, double *result) {
  if (!expr) return FHS_THREADEXPR;
  Evaluator ev(block, std::string_view(expr, strnlen(expr, FID_THREADEXPRMAX)), image);
  Value v;
  if (!ev.expression(&v)) return FHS_THREADEXPR;
  *result = v.as_number();
  return FHS_OK;
}

int expr_member(fhrequest *block, const char *expr, const char *image, bool *member) {
  double value = 0;
  int status = expr_evaluate(block, expr, image, &value);
  if (status == FHS_OK) *member = value != 0;
  return status;
}

}  // namespace corvex
