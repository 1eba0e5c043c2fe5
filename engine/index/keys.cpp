#include "engine/index/keys.h"

#include <string.h>

#include <bit>
#include <charconv>

#include "engine/data/base95.h"
#include "util/ascii.h"
#include "util/numbers.h"
#include "util/text.h"

namespace corvex {

namespace {

constexpr int kSuffix = 4;      // base-95 record position of a temporary index
constexpr int kNumberMax = 50;  // characters of a numeric segment converted
constexpr int kDateMax = 10;    // characters of a date segment converted

// Skips blanks and a plus sign, as the C library's conversions do.
const char *number_start(const char *text, const char *end) {
  while (text < end && (*text == ' ' || *text == '\t')) text++;
  if (text < end && *text == '+') text++;
  return text;
}

double text_number(const char *text, int length) {
  const char *end = text + (length < kNumberMax ? length : kNumberMax);
  const char *p = number_start(text, end);
  double value = 0;
  std::from_chars(p, end, value);
  return value;
}

long long text_whole(const char *text, int length) {
  const char *end = text + (length < kDateMax ? length : kDateMax);
  const char *p = number_start(text, end);
  long long value = 0;
  std::from_chars(p, end, value);
  return value;
}

int bytes_until_zero(const unsigned char *left, const unsigned char *right, int count) {
  for (int i = 0; i < count; i++) {
    if (left[i] != right[i]) return left[i] - right[i];
    if (left[i] == 0) return 0;
  }
  return 0;
}

// The number of leading bytes that a and b share, up to n; with
// `stop_at_zero` the count ends after a shared zero byte, returned as n
// (texts that end together are equal over the rest).
int shared_prefix(const char *left, const char *right, int count, bool stop_at_zero) {
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t x, y;
    memcpy(&x, left + i, 8);
    memcpy(&y, right + i, 8);
    if (x != y) break;
    // A zero byte among eight equal ones ends both texts.
    if (stop_at_zero && ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull)) return count;
  }
  for (; i < count && left[i] == right[i]; i++) {
    if (stop_at_zero && left[i] == 0) return count;
  }
  return i;
}

int compare_segment(const fhsegment &seg, const char *left, const char *right, int length) {
  if (seg.flags & SEG_NUMERIC) return numcmp(text_number(left, length), text_number(right, length));
  if (seg.flags & SEG_DATE) {
    long long x = text_whole(left, length), y = text_whole(right, length);
    return x < y ? -1 : x > y;
  }
  // The text kinds agree over bytes the two sides share, so the comparison
  // starts at the first byte that differs.
  bool binary = (seg.flags & SEG_BINARY) != 0;
  int at = shared_prefix(left, right, length, !binary);
  if (at == length) return 0;
  left += at;
  right += at;
  length -= at;
  if (binary) return memcmp(left, right, length);
  if (seg.flags & SEG_CASE) {
    return bytes_until_zero(reinterpret_cast<const unsigned char *>(left), reinterpret_cast<const unsigned char *>(right),
                            length);
  }
  return casencmp(left, right, length);
}

// Compares the segments of `key` over at most `limit` bytes; *used is the
// number of bytes the segments cover.
int compare_segments(const fhkeydef &key, const char *left, const char *right, int limit, int *used) {
  int at = 0;
  int nsegs = key.nsegs < FID_MAXSEGS ? key.nsegs : static_cast<int>(FID_MAXSEGS);
  for (int s = 0; s < nsegs && at < limit; s++) {
    const fhsegment &seg = key.seg[s];
    int length = seg.length < limit - at ? seg.length : limit - at;
    int c = compare_segment(seg, left + at, right + at, length);
    if (c != 0) {
      *used = at;
      return (seg.flags & SEG_DESCENDING) ? -c : c;
    }
    at += length;
  }
  *used = at;
  return 0;
}

// Copies the segments of `key` from the record into out, at most `room`
// bytes; bytes beyond the record are taken as spaces. Returns the count.
int copy_segments(const fhrequest *block, const fhkeydef &key, char *out, int room) {
  int at = 0;
  int nsegs = key.nsegs < FID_MAXSEGS ? key.nsegs : static_cast<int>(FID_MAXSEGS);
  for (int s = 0; s < nsegs && at < room; s++) {
    int from = key.seg[s].offset + 1;
    int n = key.seg[s].length < room - at ? key.seg[s].length : room - at;
    int inside = from >= block->reclen ? 0 : block->reclen - from < n ? block->reclen - from : n;
    if (inside > 0) memcpy(out + at, block->recbuf + from, static_cast<size_t>(inside));
    memset(out + at + inside, ' ', static_cast<size_t>(n - inside));
    at += n;
  }
  return at;
}

// True when the segments of `key` in the record image hold the bytes of
// `text` (`room` bytes of it), as copy_segments would copy them.
bool segments_hold(const fhrequest *block, const fhkeydef &key, const char *image, const char *text, int room) {
  int at = 0;
  int nsegs = key.nsegs < FID_MAXSEGS ? key.nsegs : static_cast<int>(FID_MAXSEGS);
  for (int s = 0; s < nsegs && at < room; s++) {
    int from = key.seg[s].offset + 1;
    int length = key.seg[s].length < room - at ? key.seg[s].length : room - at;
    // Bytes beyond the record are built as spaces: the general path decides.
    if (from + length > block->reclen || memcmp(image + from, text + at, length) != 0) return false;
    at += length;
  }
  return at == room;
}

}  // namespace

int key_ownlen(const fhrequest *block, int keynum) {
  if (keynum == 0) return block->keydefs[0].keylen;
  int own = block->keydefs[keynum].keylen - block->keydefs[0].keylen;
  return own > 0 ? own : 0;
}

int key_compare(const fhrequest *block, int keynum, const char *left, const char *right) {
  const fhkeydef &key = block->keydefs[keynum];
  int length = key.keylen;
  int used = 0;
  if (keynum == 0) {
    bool temp = (block->mode & FH_TEMPINDEX) != 0;
    int own = temp && length >= kSuffix ? length - kSuffix : length;
    int c = compare_segments(key, left, right, own, &used);
    if (c != 0 || !temp) return c;
    return memcmp(left + own, right + own, length - own);
  }
  int own = key_ownlen(block, keynum);
  int c = compare_segments(key, left, right, own, &used);
  if (c != 0) return c;
  int rest = length - own;
  c = compare_segments(block->keydefs[0], left + own, right + own, rest, &used);
  if (c == 0 && used < rest) c = memcmp(left + own + used, right + own + used, rest - used);
  int last = key.nsegs > 0 && key.nsegs <= FID_MAXSEGS ? key.nsegs - 1 : 0;
  return (key.seg[last].flags & SEG_DESCENDING) ? -c : c;
}

namespace {

constexpr uint64_t kByteOnes = 0x0101010101010101ull, kByteHighs = 0x8080808080808080ull;

// The `n` (1..8) bytes at `p`, the first in the lowest place.
uint64_t load_bytes(const unsigned char *p, int n) {
  uint64_t w = 0;
  if (n == 8 && std::endian::native == std::endian::little) {
    memcpy(&w, p, 8);
    return w;
  }
  for (int i = 0; i < n; i++) w |= uint64_t{p[i]} << (8 * i);
  return w;
}

// Each byte of `w` as ascii_upper gives it, all eight at once.
uint64_t upper_bytes(uint64_t w) {
  const uint64_t low7 = w & ~kByteHighs;
  const uint64_t from_a = low7 + (0x80 - 'a') * kByteOnes;   // high bit: at least 'a'
  const uint64_t past_z = low7 + (0x80 - 'z' - 1) * kByteOnes;  // high bit: beyond 'z'
  const uint64_t lower = from_a & ~past_z & ~w & kByteHighs;
  return w - (lower >> 2);
}

// `w` with its first zero byte and every byte after it cleared; `ended`
// tells whether there was one. The lowest flagged byte of the classic
// zero-byte test is always a true zero.
uint64_t through_first_zero(uint64_t w, bool *ended) {
  const uint64_t zeros = (w - kByteOnes) & ~w & kByteHighs;
  if (zeros == 0) return w;
  *ended = true;
  const int kept = __builtin_ctzll(zeros) / 8;
  return kept == 0 ? 0 : w & (~uint64_t{0} >> (64 - 8 * kept));
}

}  // namespace

bool key0_fingerprint(const fhrequest *block, const char *text, uint32_t *out) {
  if (block->mode & FH_TEMPINDEX) return false;
  const fhkeydef &key = block->keydefs[0];
  const int limit = key.keylen;
  const int nsegs = key.nsegs < FID_MAXSEGS ? key.nsegs : static_cast<int>(FID_MAXSEGS);
  // A multiplicative hash, eight bytes a step, over each segment as
  // compare_segment sees it: text segments folded to upper case unless
  // case-sensitive, and ending at their first zero byte (what follows it is
  // taken as zeros).
  constexpr uint64_t kMix = 0x9E3779B97F4A7C15ull;
  uint64_t h = 0xCBF29CE484222325ull;
  const auto *p = reinterpret_cast<const unsigned char *>(text);
  for (int s = 0, at = 0; s < nsegs && at < limit; s++) {
    const fhsegment &seg = key.seg[s];
    if (seg.flags & (SEG_NUMERIC | SEG_DATE)) return false;
    const int length = seg.length < limit - at ? seg.length : limit - at;
    const bool binary = (seg.flags & SEG_BINARY) != 0, folded = !binary && !(seg.flags & SEG_CASE);
    bool ended = false;
    for (int i = 0; i < length; i += 8) {
      uint64_t w = ended ? 0 : load_bytes(p + at + i, length - i < 8 ? length - i : 8);
      if (!binary && !ended) w = through_first_zero(w, &ended);
      if (folded) w = upper_bytes(w);
      h = (h ^ w) * kMix;
    }
    at += length;
  }
  h ^= h >> 32;
  *out = static_cast<uint32_t>((h * kMix) >> 32);
  return true;
}

bool key_bytes_held(const fhrequest *block, int keynum, const char *image, const char *text) {
  if (block->mode & FH_TEMPINDEX) return false;
  const fhkeydef &key = block->keydefs[keynum];
  int own = key_ownlen(block, keynum);
  return segments_hold(block, key, image, text, own) &&
         (keynum == 0 || segments_hold(block, block->keydefs[0], image, text + own, key.keylen - own));
}

int build_key_of(fhrequest *block, int keynum, char *image, char *out) {
  char *saved = block->recbuf;
  block->recbuf = image;
  int n = _bldkey(block, keynum, out);
  block->recbuf = saved;
  return n;
}

}  // namespace corvex

int32_t _bldkey(fhrequest *block, int32_t keynum, char *out) {
  using namespace corvex;
  if (!block || !out || !block->recbuf || !block->keydefs || keynum < 0 || keynum >= block->nkeys) return -1;
  const fhkeydef &key = block->keydefs[keynum];
  int length = key.keylen;
  int own = key_ownlen(block, keynum);
  bool temp = (block->mode & FH_TEMPINDEX) != 0;
  if (keynum == 0 && temp) own = length >= kSuffix ? length - kSuffix : 0;
  int at = copy_segments(block, key, out, own);
  while (at < own) out[at++] = ' ';
  if (keynum > 0) at += copy_segments(block, block->keydefs[0], out + own, length - own);
  while (at < length) out[at++] = ' ';
  if (temp && keynum == 0 && length >= kSuffix) base95_put(static_cast<uint32_t>(block->recpos), kSuffix, out + own);
  out[length] = 0;
  return length;
}
