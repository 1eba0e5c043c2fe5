#include "util/archive/options.h"

#include <cstring>

#include "util/ascii.h"

namespace corvex {

uint8_t ArchiveOptions::offset() const {
  unsigned sum = 0;
  for (unsigned char c : password) sum += c;
  return static_cast<uint8_t>(sum);
}

namespace {

// Reads a text in double quotes of at most `max` characters starting at *at
// (which points at the letter's successor) into *out and moves *at past it.
bool quoted(const char **at, size_t max, std::string *out) {
  const char *p = *at;
  if (*p != '"') return false;
  const char *end = std::strchr(p + 1, '"');
  if (!end || static_cast<size_t>(end - p - 1) > max) return false;
  out->assign(p + 1, end);
  *at = end + 1;
  return true;
}

}  // namespace

OptionsResult parse_archive_options(const char *text, ArchiveOptions *options) {
  *options = ArchiveOptions{};
  const char *p = text_or_empty(text);
  if (*p) p++;
  int commands = 0;
  while (*p) {
    unsigned char letter = ascii_upper(static_cast<unsigned char>(*p++));
    switch (letter) {
      case 'A': options->command = ArchiveCommand::kAdd; commands++; break;
      case 'X': options->command = ArchiveCommand::kExtract; commands++; break;
      case 'L': options->command = ArchiveCommand::kList; commands++; break;
      case 'D': options->command = ArchiveCommand::kDelete; commands++; break;
      case 'B': options->show_bits = true; break;
      case 'O': options->overwrite = true; break;
      case 'Q': options->quiet = true; break;
      case 'P':
        if (!quoted(&p, kPasswordMax, &options->password)) return OptionsResult::kBadPassword;
        break;
      case 'T': {
        if (!quoted(&p, kTargetMax, &options->target)) return OptionsResult::kBadTarget;
        std::string &t = options->target;
        if (!t.empty() && t.back() != '/' && t.back() != '\\' && t.back() != ':') t += '/';
        break;
      }
      default: break;
    }
  }
  if (commands != 1) {
    options->command = ArchiveCommand::kNone;
    return OptionsResult::kNoCommand;
  }
  return OptionsResult::kOk;
}

}  // namespace corvex
