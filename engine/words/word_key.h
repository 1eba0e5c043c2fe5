// A keyword as the word index keeps it: ASCII letters lower-cased, cut to
// the width of the keyword item. Its bytes are followed by zero bytes up to
// a whole number of eight-byte groups (at least two groups, and at least
// one zero byte), so that it is made, hashed and compared eight bytes at a
// time; its hash is taken as it is made.
#ifndef CORVEX_ENGINE_WORDS_WORD_KEY_H
#define CORVEX_ENGINE_WORDS_WORD_KEY_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <string_view>

namespace corvex {

class WordKey {
 public:
  static constexpr size_t kGroup = 8;
  static constexpr size_t kHeadSize = 2 * kGroup;  // the groups a table slot keeps

  WordKey() : hash_(kHashSeed) { memset(short_, 0, kHeadSize); }  // the empty keyword
  explicit WordKey(std::string_view word, size_t room = SIZE_MAX) { assign(word, room); }

  // Becomes `word` lower-cased, its first `room` characters.
  void assign(std::string_view word, size_t room) { assign(word, room, true); }

  // A keyword as a keyword record holds it, taken as it is.
  static WordKey as_stored(std::string_view keyword) {
    WordKey key;
    key.assign(keyword, SIZE_MAX, false);
    return key;
  }

  std::string_view text() const { return {groups(), size_}; }
  size_t size() const { return size_; }
  const char *c_str() const { return groups(); }
  // The bytes and the zeros after them, size() rounded up to whole groups.
  const char *groups() const { return size_ < kShortMax ? short_ : long_.data(); }
  uint64_t hash() const { return hash_; }

  // The hash of `size` bytes read in whole groups from `p`, as hash() of
  // a key of those bytes; the bytes after them up to the group's end must
  // be zero.
  static uint64_t hash_groups(const char *p, size_t size);

 private:
  static constexpr uint64_t kHashSeed = 0x9e3779b97f4a7c15ull;  // mixed with the size
  static constexpr size_t kShortRoom = 6 * kGroup;
  static constexpr size_t kShortMax = kShortRoom - kGroup;  // sizes below it fit short_

  void assign(std::string_view word, size_t room, bool fold);

  alignas(kGroup) char short_[kShortRoom];
  std::string long_;
  size_t size_ = 0;
  uint64_t hash_ = 0;
};

}  // namespace corvex

#endif
