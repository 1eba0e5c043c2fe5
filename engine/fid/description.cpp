#include "engine/fid/description.h"

#include <string.h>

#include <algorithm>

#include "util/ascii.h"
#include "util/bounded_read.h"

namespace corvex {

namespace {

constexpr unsigned kMaxDataLen = UINT16_MAX - 2;
constexpr size_t kMaxExpr = FID_THREADEXPRMAX - 1;  // the line feed is consumed too

// A pending key: segment words resolved once every item is known.
struct KeyLine {
  int line;
  std::vector<std::string> segments;
};

struct ThreadLine {
  int line;
  Description::Thread thread;
};

class Parser {
 public:
  explicit Parser(Description *out) : d_(*out) {}

  bool parse(std::string_view text, std::string *error);

 private:
  bool fail(int line, const std::string &what) {
    error_ = "line " + std::to_string(line) + ": " + what;
    return false;
  }
  bool statement(int line, const std::vector<std::string> &words, std::string_view rest);
  bool item(int line, const std::vector<std::string> &words);
  bool check_items();
  bool resolve_key(const KeyLine &k);
  bool resolve_thread(const ThreadLine &t);
  const fhitemdef *find(const std::string &name, size_t *index = nullptr) const;

  Description &d_;
  std::string error_;
  int length_line_ = 0;
  std::vector<int> item_lines_;
  std::vector<KeyLine> keys_;
  std::vector<ThreadLine> threads_;
};

bool parse_number(const std::string &word, unsigned long max, unsigned long *value) {
  if (word.empty() || word.size() > 10) return false;
  unsigned long v = 0;
  for (char c : word) {
    if (!ascii_digit(static_cast<unsigned char>(c))) return false;
    v = v * 10 + static_cast<unsigned long>(c - '0');
  }
  if (v > max) return false;
  *value = v;
  return true;
}

bool valid_name(const std::string &name) {
  if (name.empty() || name.size() > FID_NAMELEN) return false;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (!ascii_letter(u) && !ascii_digit(u) && c != '_') return false;
  }
  return true;
}

std::string upper(std::string s) {
  for (char &c : s) c = static_cast<char>(ascii_upper(static_cast<unsigned char>(c)));
  return s;
}

std::string item_name(const fhitemdef &item) { return std::string(item.name, strnlen(item.name, FID_NAMELEN)); }

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Splits `line` into words; `rest` receives the text after the second word
// (the thread expression), without its surrounding blanks.
std::vector<std::string> split(std::string_view line, std::string_view *rest) {
  std::vector<std::string> words;
  size_t i = 0;
  *rest = {};
  while (true) {
    while (i < line.size() && is_blank(line[i])) i++;
    if (i >= line.size()) break;
    if (words.size() == 2) {
      size_t end = line.size();
      while (end > i && is_blank(line[end - 1])) end--;
      *rest = line.substr(i, end - i);
    }
    size_t start = i;
    while (i < line.size() && !is_blank(line[i])) i++;
    words.emplace_back(line.substr(start, i - start));
  }
  return words;
}

bool Parser::parse(std::string_view text, std::string *error) {
  d_ = Description();
  int line = 0;
  bool ok = true;
  while (ok && !text.empty()) {
    line++;
    size_t nl = text.find('\n');
    std::string_view one = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    std::string_view rest;
    std::vector<std::string> words = split(one, &rest);
    if (words.empty() || words[0][0] == '#') continue;
    ok = statement(line, words, rest);
  }
  if (ok && length_line_ == 0) ok = fail(0, "no length statement");
  if (ok) ok = check_items();
  for (size_t k = 0; ok && k < keys_.size(); k++) ok = resolve_key(keys_[k]);
  for (size_t t = 0; ok && t < threads_.size(); t++) ok = resolve_thread(threads_[t]);
  if (ok && (d_.flags & FID_HASHED) && d_.keys.empty()) ok = fail(0, "a hashed file needs a key");
  if (!ok) *error = error_;
  return ok;
}

bool Parser::statement(int line, const std::vector<std::string> &words, std::string_view rest) {
  const std::string &what = words[0];
  unsigned long value = 0;
  if (what == "length") {
    if (length_line_) return fail(line, "second length statement");
    if (words.size() != 2 || !parse_number(words[1], kMaxDataLen, &value) || value < FID_MINDATALEN)
      return fail(line, "length must be one number from 8 to 65533");
    d_.datalen = static_cast<uint16_t>(value);
    length_line_ = line;
  } else if (what == "varlen") {
    if (words.size() != 1) return fail(line, "varlen takes no argument");
    d_.flags |= FID_VARLEN;
  } else if (what == "hashed") {
    if (words.size() != 2 || !parse_number(words[1], UINT32_MAX, &value) || value == 0)
      return fail(line, "hashed takes one number of table entries");
    d_.flags |= FID_HASHED;
    d_.hashsize = static_cast<uint32_t>(value);
  } else if (what == "item") {
    return item(line, words);
  } else if (what == "key") {
    if (words.size() < 2) return fail(line, "key without segments");
    if (words.size() - 1 > FID_MAXSEGS) return fail(line, "a key has at most 18 segments");
    if (keys_.size() >= UINT8_MAX) return fail(line, "too many keys");
    keys_.push_back({line, std::vector<std::string>(words.begin() + 1, words.end())});
  } else if (what == "thread") {
    if (words.size() < 3) return fail(line, "thread needs an item and an expression");
    if (rest.size() > kMaxExpr) return fail(line, "thread expression longer than 55 characters");
    for (char c : rest) {
      if (static_cast<unsigned char>(c) < ' ' && c != '\t')
        return fail(line, "thread expression holds a control character");
    }
    if (threads_.size() >= UINT16_MAX) return fail(line, "too many threads");
    threads_.push_back({line, {upper(words[1]), std::string(rest)}});
  } else {
    return fail(line, "unknown statement \"" + what + "\"");
  }
  if ((d_.flags & FID_VARLEN) && (d_.flags & FID_HASHED))
    return fail(line, "a file cannot be both hashed and variable-length");
  return true;
}

bool Parser::item(int line, const std::vector<std::string> &words) {
  if (words.size() < 5 || words.size() > 7)
    return fail(line, "item needs NAME TYPE OFFSET LENGTH [COUNT [JUST]]");
  std::string name = upper(words[1]);
  if (!valid_name(name)) return fail(line, "bad item name \"" + words[1] + "\"");
  if (find(name)) return fail(line, "item " + name + " described twice");
  if (words[2].size() != 1 || static_cast<unsigned char>(words[2][0]) <= ' ')
    return fail(line, "item " + name + ": the type is one character");
  unsigned long offset = 0, length = 0, count = 1;
  if (!parse_number(words[3], kMaxDataLen, &offset)) return fail(line, "item " + name + ": bad offset");
  if (!parse_number(words[4], kMaxDataLen, &length) || length == 0)
    return fail(line, "item " + name + ": bad length");
  if (words.size() > 5 && (!parse_number(words[5], UINT16_MAX, &count) || count == 0))
    return fail(line, "item " + name + ": bad count");
  char just = 'L';
  if (words.size() > 6) {
    if (words[6] != "L" && words[6] != "R") return fail(line, "item " + name + ": JUST is L or R");
    just = words[6][0];
  }
  if (d_.items.size() >= UINT16_MAX) return fail(line, "too many items");
  fhitemdef item = {};
  memcpy(item.name, name.data(), name.size());
  item.type = words[2][0];
  item.just = just;
  item.offset = static_cast<uint16_t>(offset);
  item.length = static_cast<uint16_t>(length);
  item.count = static_cast<uint16_t>(count);
  d_.items.push_back(item);
  item_lines_.push_back(line);
  return true;
}

bool Parser::check_items() {
  std::vector<size_t> by_offset(d_.items.size());
  for (size_t i = 0; i < by_offset.size(); i++) by_offset[i] = i;
  std::stable_sort(by_offset.begin(), by_offset.end(),
                   [&](size_t a, size_t b) { return d_.items[a].offset < d_.items[b].offset; });
  unsigned long end = 0;
  size_t last = 0;
  for (size_t n = 0; n < by_offset.size(); n++) {
    size_t i = by_offset[n];
    const fhitemdef &item = d_.items[i];
    unsigned long item_end = item.offset + static_cast<unsigned long>(item.length) * item.count;
    if (item_end > d_.datalen)
      return fail(item_lines_[i], "item " + item_name(item) + " ends beyond the record length " +
                                      std::to_string(d_.datalen));
    if ((d_.flags & FID_VARLEN) && item.offset < 4)
      return fail(item_lines_[i], "item " + item_name(item) +
                                      " overlaps the length digits of variable-length records");
    if (n > 0 && item.offset < end)
      return fail(std::max(item_lines_[i], item_lines_[last]),
                  "item " + item_name(item) + " overlaps item " + item_name(d_.items[last]));
    if (item_end > end) {
      end = item_end;
      last = i;
    }
  }
  return true;
}

const fhitemdef *Parser::find(const std::string &name, size_t *index) const {
  for (size_t i = 0; i < d_.items.size(); i++) {
    if (item_name(d_.items[i]) == name) {
      if (index) *index = i;
      return &d_.items[i];
    }
  }
  return nullptr;
}

bool Parser::resolve_key(const KeyLine &k) {
  fhkeydef key = {};
  unsigned total = 0;
  for (const std::string &word : k.segments) {
    size_t slash = word.find('/');
    std::string name = upper(word.substr(0, slash));
    const fhitemdef *item = find(name);
    if (!item) return fail(k.line, "key over item " + name + ", which is not described");
    if (item->length > UINT8_MAX) return fail(k.line, "key segment " + name + " longer than 255");
    uint8_t flags = 0;
    if (slash != std::string::npos) {
      for (char c : word.substr(slash + 1)) {
        const char *letters = "dncbt";
        const char *hit = strchr(letters, c);
        if (!hit || c == '\0') return fail(k.line, "key segment " + name + ": unknown flag '" + c + "'");
        flags |= static_cast<uint8_t>(1u << (hit - letters));
      }
    }
    key.seg[key.nsegs++] = {item->offset, static_cast<uint8_t>(item->length), flags};
    total += item->length;
  }
  unsigned stored = d_.keys.empty() ? total : total + d_.keys[0].keylen;
  if (stored >= 256) return fail(k.line, "key longer than 255 bytes (secondary keys include key 0)");
  key.keylen = static_cast<uint8_t>(total);
  d_.keys.push_back(key);
  return true;
}

bool Parser::resolve_thread(const ThreadLine &t) {
  const fhitemdef *item = find(t.thread.item);
  if (!item) return fail(t.line, "thread over item " + t.thread.item + ", which is not described");
  if (item->offset < FID_MINDATALEN) return fail(t.line, "thread item " + t.thread.item + " in the first 8 bytes");
  if (item->length < 4) return fail(t.line, "thread item " + t.thread.item + " shorter than 4");
  d_.threads.push_back(t.thread);
  return true;
}

}  // namespace

bool parse_description(std::string_view text, Description *out, std::string *error) {
  Parser parser(out);
  return parser.parse(text, error);
}

bool read_description(const char *path, Description *out, std::string *error) {
  std::string text;
  BoundedRead read = read_bounded(path, kMaxDescriptionBytes, &text);
  if (read != BoundedRead::kOk) {
    *error = std::string(path) + ": " + bounded_read_problem(read, kMaxDescriptionBytes);
    return false;
  }
  if (parse_description(text, out, error)) return true;
  *error = std::string(path) + ": " + *error;
  return false;
}

}  // namespace corvex
