#include "engine/fid/fidwrite.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include "engine/exports.h"

namespace corvex {

namespace {

void put_u16(std::string &out, unsigned v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void put_u32(std::string &out, uint32_t v) {
  put_u16(out, v & 0xFFFF);
  put_u16(out, v >> 16);
}

}  // namespace

std::string fid_encode(const Description &d) {
  std::string out;
  out += "QZT";
  out += '\0';
  put_u16(out, FID_VERSION);
  put_u16(out, d.datalen);
  put_u16(out, static_cast<unsigned>(d.items.size()));
  out += static_cast<char>(d.keys.size());
  out += '\0';
  put_u32(out, d.hashsize);
  put_u16(out, static_cast<unsigned>(d.threads.size()));
  out += static_cast<char>(d.flags);
  out += '\0';

  std::vector<uint16_t> order(d.items.size());
  for (size_t i = 0; i < order.size(); i++) order[i] = static_cast<uint16_t>(i);
  std::stable_sort(order.begin(), order.end(), [&](uint16_t a, uint16_t b) {
    return memcmp(d.items[a].name, d.items[b].name, FID_NAMELEN) < 0;
  });
  for (size_t i = 0; i < d.items.size(); i++) {
    const fhitemdef &item = d.items[i];
    out.append(item.name, FID_NAMELEN);
    out += item.type;
    out += item.just;
    put_u16(out, item.offset);
    put_u16(out, item.length);
    put_u16(out, item.count);
    put_u16(out, order[i]);
    char comment[FID_COMMENTMAX];
    snprintf(comment, sizeof comment, "%.10s %c %u %u\r\n", item.name, item.type, item.offset, item.length);
    out += comment;
  }
  for (const fhkeydef &key : d.keys) {
    out.append(key.unused, sizeof key.unused);
    out += static_cast<char>(key.keylen);
    out += static_cast<char>(key.nsegs);
    for (const fhsegment &seg : key.seg) {
      put_u16(out, seg.offset);
      out += static_cast<char>(seg.length);
      out += static_cast<char>(seg.flags);
    }
  }
  for (const Description::Thread &t : d.threads) {
    out += t.item + "\n";
    out += t.expr + "\n";
  }
  return out;
}

bool fid_write(const Description &d, const char *path, std::string *error) {
  std::string bytes = fid_encode(d);
  // A link at `path` is refused, never followed to the file it leads to.
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  FILE *f = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (fd >= 0 && !f) close(fd);
  bool ok = f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  int saved = errno;
  if (f && fclose(f) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) *error = std::string(path) + ": " + strerror(saved);
  return ok;
}

}  // namespace corvex

int32_t corvex_describe(const char *description, const char *fid_path, char *error, int32_t error_size) {
  corvex::Description d;
  std::string why;
  const bool ok = description && fid_path && corvex::parse_description(description, &d, &why) &&
                  corvex::fid_write(d, fid_path, &why);
  if (!ok && error && error_size > 0) snprintf(error, static_cast<size_t>(error_size), "%s", why.c_str());
  return ok ? 0 : -1;
}
