#include "util/names.h"

#include <cstring>
#include <string>

#include "util/ascii.h"

using corvex::text_or_empty;

namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

void store(char *target, const std::string &text) {
  if (target) std::memcpy(target, text.c_str(), text.size() + 1);
}

}  // namespace

// Built in a local string first, so target may be the same buffer as dir.
char *creat_name(char *target, const char *dir, const char *name, const char *ext) {
  if (!target) return target;
  dir = text_or_empty(dir);
  ext = text_or_empty(ext);
  std::string path = dir;
  if (!path.empty() && !is_separator(path.back()) && path.back() != ':')
    path += std::strchr(dir, '\\') ? '\\' : '/';
  path += text_or_empty(name);
  if (*ext && *ext != '.') path += '.';
  path += ext;
  store(target, path);
  return target;
}

void split_name(const char *path, char *dir, char *name, char *ext) {
  std::string p = text_or_empty(path);
  size_t separator = p.find_last_of("/\\:");
  size_t file = separator == std::string::npos ? 0 : separator + 1;
  size_t dot = p.find('.', file);
  store(dir, p.substr(0, file));
  store(name, p.substr(file, dot == std::string::npos ? std::string::npos : dot - file));
  store(ext, dot == std::string::npos ? std::string() : p.substr(dot + 1));
}

char *abbrname(const char *path, int max, char *target) {
  if (!target) return target;
  std::string p = text_or_empty(path);
  size_t room = max > 0 ? static_cast<size_t>(max) : 0;
  std::string result;
  if (p.size() <= room) {
    result = p;
  } else if (room < 4) {
    result = p.substr(p.size() - room);
  } else {
    size_t last = p.find_last_of("/\\");
    if (last != std::string::npos) {
      size_t tail = p.size() - last - 1;  // length of the last component
      if (room >= 5 + tail) {
        size_t keep = p.find_last_of("/\\", room - 5 - tail);
        if (keep != std::string::npos) result = p.substr(0, keep + 1) + "..." + p.substr(last);
      }
    }
    if (result.empty()) result = "..." + p.substr(p.size() - (room - 3));
  }
  store(target, result);
  return target;
}

int mrdname(const char *name) {
  auto ok = [](unsigned char c, bool first) {
    return c == '_' || corvex::ascii_letter(c) || (!first && corvex::ascii_digit(c));
  };
  const auto *n = reinterpret_cast<const unsigned char *>(text_or_empty(name));
  if (!ok(n[0], true)) return 0;
  for (int i = 1; i < 10 && n[i]; ++i)
    if (!ok(n[i], false)) return 0;
  return 1;
}
