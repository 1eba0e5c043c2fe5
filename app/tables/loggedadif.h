// The "Logged ADIF" message of the weak-signal programs' network protocol:
// the datagram they send when the operator logs a contact. A datagram is
// written as a Qt data stream, big-endian: the magic number 0xADBCCBDA, the
// schema number (2 or 3), the message type (12 for Logged ADIF), the
// sender's id as a byte string, then the contact as ADIF text in a byte
// string. A byte string is a 32-bit length and that many bytes, or the
// length 0xFFFFFFFF alone for none. Datagrams come from the network: every
// length is checked against what the datagram holds.
#ifndef TESSALY_APP_TABLES_LOGGEDADIF_H
#define TESSALY_APP_TABLES_LOGGEDADIF_H

#include <QByteArray>
#include <QByteArrayView>

namespace tables {

inline constexpr quint32 kLoggedAdifMagic = 0xADBCCBDA, kLoggedAdifType = 12;
// The largest datagram read; one beyond it is refused.
inline constexpr qsizetype kMaxLogDatagram = 64 * 1024;

enum class DatagramFault {
  None,        // a Logged ADIF message
  OtherType,   // a sound message of another type (status, decodes): not for the log
  BadMagic,    // not the protocol's magic number
  BadSchema,   // a schema other than 2 or 3
  Truncated,   // a length or field runs past the end
  Oversized,   // longer than kMaxLogDatagram
};

struct LoggedAdif {
  DatagramFault fault = DatagramFault::Truncated;
  QByteArray id;    // the sending program's id
  QByteArray adif;  // the contact as ADIF text
};

// Decodes one datagram.
LoggedAdif decodeLoggedAdif(QByteArrayView datagram);

}  // namespace tables

#endif
