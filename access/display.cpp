// Display formatting: number pictures, templates, justification,
// capitalisation, rounding and dates. Nothing here touches a file; every text
// comes back in the result buffer.
#include <cstring>
#include <string>

#include "access/kdb.h"
#include "access/layer.h"
#include "access/number_text.h"
#include "access/picture.h"
#include "access/result_buffer.h"
#include "util/ascii.h"
#include "util/dates/dates.h"
#include "util/text.h"

using namespace lumbra;

static_assert(CORVEX_DATE_TEXT_MAX <= kResultMax, "a date text must fit the result buffer");

namespace {

// Copies at most kResultMax characters of text into the result buffer and
// returns their count.
size_t load_result(const char *text) {
  return strlen(result_set(text));
}

enum class Placement { kLeft, kRight, kCentre };

// The text without its leading and trailing blanks placed in a field of the
// text's own length, filled with the first character of fill.
const char *justify(const char *text, const char *fill, Placement placement) {
  int n = static_cast<int>(load_result(text));
  char *field = result_buffer();
  int fill_char = static_cast<unsigned char>(str(fill)[0]);
  switch (placement) {
    case Placement::kLeft: just_left(field, n, fill_char); break;
    case Placement::kCentre: just_center(field, n, fill_char); break;
    case Placement::kRight:
      // just_right moves leading blanks with the text; they are dropped here.
      just_left(field, n, ' ');
      just_right(field, n, fill_char);
      break;
  }
  return field;
}

const char *date_form_placeholder(char code) {
  switch (code) {
    case 'A': case 'a': return "mmm";
    case 'L': case 'l': return "mmmm";
    case 'M': return "mm";
    case 'D': return "dd";
    case 'C': case 'Y': return "yy";
    case 'y': return "y";
    case 'W': case 'w': return "dddd";
    case 'h': return "hh";
    case 'm': return "nn";
    case 's': return "ss";
    default: return nullptr;
  }
}

}  // namespace

const char *KDBedit(const char *number, const char *picture, const char *currency) {
  return result_set(edit_number(number, picture, currency).c_str());
}

const char *KDBunedit(const char *text) { return result_set(unedit_number(text).c_str()); }

const char *KDBpicture(const char *text, const char *templ, int fromRight) {
  std::string cut(str(templ), strnlen(str(templ), kResultMax));
  return result_set(fill_template(text, cut.c_str(), arg16(fromRight) != 0).c_str());
}

const char *KDBljust(const char *text, const char *fill) {
  return justify(text, fill, Placement::kLeft);
}
const char *KDBrjust(const char *text, const char *fill) {
  return justify(text, fill, Placement::kRight);
}
const char *KDBcenter(const char *text, const char *fill) {
  return justify(text, fill, Placement::kCentre);
}

const char *KDBicase(const char *text) {
  size_t n = load_result(text);
  char *out = result_buffer();
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    bool word_start = i == 0 || out[i - 1] == ' ' || out[i - 1] == ',' || out[i - 1] == '.';
    if (word_start)
      out[i] = static_cast<char>(corvex::ascii_upper(c));
    else if (c >= 'A' && c <= 'Z')
      out[i] = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

const char *KDBroundstub(const char *number, int decimals) {
  return result_set(round_number_text(number, sarg16(decimals)).c_str());
}

const char *KDBdateform(const char *form) {
  set_dateform(form);
  form = str(form);
  std::string shown;
  for (size_t i = 0; form[i] != '\0' && i < CORVEX_DATE_FORM_MAX; ++i) {
    const char *placeholder = date_form_placeholder(form[i]);
    if (placeholder != nullptr)
      shown += placeholder;
    else
      shown += form[i];
  }
  return result_set(shown.c_str());
}

int32_t KDBjdpack(const char *text, int time) { return jdpack(text, arg16(time)); }

const char *KDBjdunpack(int32_t number, int time) {
  jdunpack(number, result_buffer(), arg16(time));
  return result_buffer();
}
