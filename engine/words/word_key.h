// A keyword as the word index keeps it: ASCII letters lower-cased, cut to
// the width of the keyword item. Its bytes are followed by zero bytes up to
// a whole number of eight-byte groups (at least two groups, and at least
// one zero byte), so that it is made, hashed and compared eight bytes at a
// time.
#ifndef CORVEX_ENGINE_WORDS_WORD_KEY_H
#define CORVEX_ENGINE_WORDS_WORD_KEY_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <string_view>

namespace corvex {

class WordKey {
 public:
  static constexpr size_t kGroup = 8;
  static constexpr size_t kHeadSize = 2 * kGroup;  // the groups a table slot keeps

  WordKey() { assign("", 0); }
  explicit WordKey(std::string_view word, size_t room = SIZE_MAX) { assign(word, room); }

  // Becomes `word` lower-cased, its first `room` characters.
  void assign(std::string_view word, size_t room) { assign(word, room, true); }

  // A keyword as a keyword record holds it, taken as it is.
  static WordKey as_stored(std::string_view keyword) {
    WordKey key;
    key.assign(keyword, SIZE_MAX, false);
    return key;
  }

  std::string_view text() const { return {bytes_.data(), size_}; }
  size_t size() const { return size_; }
  const char *c_str() const { return bytes_.data(); }
  // The bytes and the zeros after them, size() rounded up to whole groups.
  const char *groups() const { return bytes_.data(); }
  uint64_t hash() const { return hash_groups(bytes_.data(), size_); }

  // The hash of `size` bytes read in whole groups from `p`; the bytes
  // after them up to the group's end must be zero.
  static uint64_t hash_groups(const char *p, size_t size);

 private:
  void assign(std::string_view word, size_t room, bool fold);

  std::string bytes_;
  size_t size_ = 0;
};

}  // namespace corvex

#endif
