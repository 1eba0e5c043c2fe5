#include "app/radio/decode.h"

#include "app/radio/frames.h"

namespace radio {
namespace {

QChar nibble(unsigned value) { return QChar::fromLatin1("0123456789ABCDEF"[value & 0x0F]); }

unsigned byteAt(const QByteArray &bytes, int oneBased) {
  return static_cast<unsigned char>(bytes[oneBased - 1]);
}

// A frequency field of four bytes starting at 1-based byte `first`: the least
// significant pair of digits first, the 10 MHz digit in the low nibble of the
// fourth byte.
std::array<QChar, 7> frequencyDigits(const QByteArray &bytes, int first) {
  const unsigned b1 = byteAt(bytes, first), b2 = byteAt(bytes, first + 1),
                 b3 = byteAt(bytes, first + 2), b4 = byteAt(bytes, first + 3);
  return {nibble(b4), nibble(b3 >> 4), nibble(b3), nibble(b2 >> 4), nibble(b2), nibble(b1 >> 4), nibble(b1)};
}

std::optional<QString> coverageName(unsigned code) {
  switch (code) {
    case 0x00: return QStringLiteral("GEN");
    case 0x80: return QStringLiteral("HAM");
    case 0x81: return QStringLiteral("Aux1");
    case 0x82: return QStringLiteral("Aux2");
    case 0x83: return QStringLiteral("Aux3");
    default: return std::nullopt;
  }
}

std::optional<QString> knownMode(unsigned code) {
  if (code >= static_cast<unsigned>(kModeCount)) return std::nullopt;
  return modeName(static_cast<int>(code));
}

// Channel c (1 .. 12) is the 6-byte record at bytes 97-6c .. 102-6c.
MemoryRow memoryRow(const QByteArray &bytes, int channel) {
  const int first = 97 - 6 * channel;
  const std::array<QChar, 7> d = frequencyDigits(bytes, first);
  MemoryRow row;
  row.frequency = QString(d.data(), 2) + ',' + QString(d.data() + 2, 3) + '.' + QString(d.data() + 5, 2);
  const unsigned coverage = byteAt(bytes, first + 4);
  if (coverage == 0x80 || coverage == 0x00) row.coverage = coverageName(coverage);
  row.mode = knownMode(byteAt(bytes, first + 5));
  return row;
}

}  // namespace

QString entryText(const std::array<QChar, 7> &digits) {
  return QString(digits.data(), 5) + '.' + QString(digits.data() + 5, 2);
}

Reply decodeReply(const QByteArray &reply, int expectedLength) {
  Reply r;
  const QString hex = hexText(reply);
  if (reply.size() != expectedLength) {
    r.text4 = hex;
    return r;
  }
  r.text1 = hex;
  r.text4.reserve(hex.size());
  for (auto it = hex.crbegin(); it != hex.crend(); ++it) r.text4.append(*it);
  r.inLen = static_cast<int>(r.text4.size());

  const int n = static_cast<int>(reply.size());
  if (n != kFrequencyReplyLength && n != kShortStatusLength && n != kFullStatusLength) return r;
  r.decoded = true;
  // The frequency field is bytes N-4 .. N-1; a 5-byte reply is that field and one byte.
  r.digits = frequencyDigits(reply, n - 4);
  if (n == kFrequencyReplyLength) return r;
  r.mode = knownMode(byteAt(reply, n - 5) & 0x0F);
  r.coverage = coverageName(byteAt(reply, n - 6));
  if (n == kFullStatusLength) {
    r.entry = entryText(*r.digits);
    for (int c = 1; c <= kMemoryChannels; ++c) r.memory.push_back(memoryRow(reply, c));
  }
  return r;
}

}  // namespace radio
