// The rules that decide which words of a text the word index keeps.
#ifndef CORVEX_ENGINE_WORDS_WORDCLASS_H
#define CORVEX_ENGINE_WORDS_WORDCLASS_H

#include <stddef.h>
#include <stdint.h>

#include <string_view>

namespace corvex {

// The longest word _fhhypaddline passes on; further characters are dropped.
constexpr size_t kWordMax = 256;

// `word` without trailing . : ; , ! " ' ( ) and without leading " ' ( ).
std::string_view strip_word_marks(std::string_view word);

// Whether a stripped word's class is accepted under the HYP_ flags
// (engine/words/words.h): letters and hyphens always; digits alone with
// any of 2, 4, 8; digits with letters or hyphens, and no other characters,
// with 2; anything with other characters with 16. A '-' in the first place
// and every '.' are number marks, and '.' is also an other character.
bool word_class_accepted(std::string_view word, uint16_t flags);

// Whether _fhhypaddword indexes `word` as given (before lower-casing): at
// least 3 characters, or exactly 2 upper-case letters; "and" and "the" in
// any case are not.
bool word_is_indexed(std::string_view word);

}  // namespace corvex

#endif
