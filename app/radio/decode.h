// Decoding of the transceiver's replies into what the panel shows.
//
// Replies carry no header or checksum: their length says what they are. A reply
// of the length the command announced is shown as hex (`text1`) and reversed
// hex (`text4`) and decoded by its length: 5 bytes (frequency echo), 22 bytes
// (short status) or 148 bytes (full status with twelve memory channels). A reply
// of any other length is shown as plain hex in `text4` and never decoded.
#ifndef TESSALY_APP_RADIO_DECODE_H
#define TESSALY_APP_RADIO_DECODE_H

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace radio {

constexpr int kMemoryChannels = 12;

// One memory channel row. Fields that the record does not set (unknown mode or
// coverage codes) are nullopt: the row keeps what it showed.
struct MemoryRow {
  QString frequency;  // "14,250.00": 10 MHz, 1 MHz, ",", 100 .. 1 kHz, ".", 100 Hz, 10 Hz
  std::optional<QString> mode;
  std::optional<QString> coverage;
};

struct Reply {
  QString text1;              // hex of a reply of the expected length, else ""
  QString text4;              // reversed hex, or plain hex for an unexpected length
  std::optional<int> inLen;   // length of text4, set for a reply of the expected length
  bool decoded = false;       // the fields below were read from the reply
  // The seven frequency digits, 10 MHz first, as the hex characters of their
  // nibbles (a healthy transceiver sends only 0 .. 9).
  std::optional<std::array<QChar, 7>> digits;
  std::optional<QString> entry;     // "14250.00": set from a full status only
  std::optional<QString> mode;      // known mode code seen
  std::optional<QString> coverage;  // known coverage code seen
  std::vector<MemoryRow> memory;    // twelve rows from a full status, else empty
};

// Decodes `reply` (the bytes of one receive event) given the reply length the
// command in flight announced. Any input is safe; nothing is read outside it.
Reply decodeReply(const QByteArray &reply, int expectedLength);

// The digits as the frequency entry shows them: five, a point and two.
QString entryText(const std::array<QChar, 7> &digits);

}  // namespace radio

#endif
