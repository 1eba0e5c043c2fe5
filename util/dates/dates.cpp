#include "util/dates/dates.h"

#include <cstring>

#include "util/dates/date_text.h"
#include "util/dates/packing.h"

using namespace corvex::dates;

static_assert(CORVEX_DATE_FORM_MAX == kDateFormMax && CORVEX_DATE_TEXT_MAX == kDateTextMax);

namespace {

// The process's date form, empty at load.
char g_form[kDateFormMax + 1];

}  // namespace

void set_dateform(const char *form) {
  size_t n = form != nullptr ? strnlen(form, kDateFormMax) : 0;
  if (n > 0) memcpy(g_form, form, n);
  g_form[n] = '\0';
}

int32_t jdpack(const char *text, int withTime) { return pack_date(g_form, text, withTime != 0); }

int jdunpack(int32_t number, char *out, int withTime) {
  char scratch[kDateTextMax + 1];
  return unpack_date(g_form, number, withTime != 0, out != nullptr ? out : scratch);
}

int _convdate(char *text, int8_t *fields, int noTime, int parse) {
  if (fields == nullptr) return 0;
  DateFields f;
  if (parse != 0) {
    f.weekday = fields[8];
    int flags = read_date_text(g_form, text, noTime == 0, &f);
    const int values[8] = {f.month, f.day, f.century, f.year, f.hour, f.minute, f.second, 0};
    for (int i = 0; i < 8; ++i) fields[i] = static_cast<int8_t>(values[i]);
    fields[8] = static_cast<int8_t>(f.weekday);
    return flags;
  }
  f.month = fields[0];
  f.day = fields[1];
  f.century = fields[2];
  f.year = fields[3];
  f.hour = fields[4];
  f.minute = fields[5];
  f.second = fields[6];
  f.weekday = fields[8];
  char scratch[kDateTextMax + 1];
  return write_date_text(g_form, f, noTime == 0, text != nullptr ? text : scratch);
}
