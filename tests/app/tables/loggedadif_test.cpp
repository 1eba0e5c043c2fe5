// Decoding the weak-signal programs' "Logged ADIF" datagrams, built here
// from the protocol's description with Qt's data stream, and what the
// decoder refuses: garbage, every cut, oversized, other schemas and types.
#include <gtest/gtest.h>

#include <QDataStream>
#include <QIODevice>
#include <random>

#include "app/tables/loggedadif.h"

using namespace tables;

namespace {

const QByteArray kAdif = "<adif_ver:5>3.1.0<programid:6>WSJT-X<EOH>"
                         "<call:5>DL1XY<gridsquare:4>JO62<mode:3>FT8<rst_sent:3>-10<rst_rcvd:3>-12"
                         "<qso_date:8>20261207<time_on:6>210509<qso_date_off:8>20261207<time_off:6>210614"
                         "<band:3>20m<freq:9>14.075123<EOR>";

QByteArray datagram(quint32 type, const QByteArray &id, const QByteArray &adif, quint32 schema = 2,
                    quint32 magic = kLoggedAdifMagic) {
  QByteArray out;
  QDataStream stream(&out, QIODevice::WriteOnly);
  stream.setVersion(schema == 2 ? QDataStream::Qt_5_2 : QDataStream::Qt_5_4);
  stream << magic << schema << type << id << adif;
  return out;
}

}  // namespace

TEST(LoggedAdif, SchemasTwoAndThreeDecode) {
  for (quint32 schema : {2u, 3u}) {
    const LoggedAdif m = decodeLoggedAdif(datagram(kLoggedAdifType, "WSJT-X", kAdif, schema));
    EXPECT_EQ(m.fault, DatagramFault::None) << schema;
    EXPECT_EQ(m.id, "WSJT-X");
    EXPECT_EQ(m.adif, kAdif);
  }
  // A null id (length 0xFFFFFFFF) is an empty one.
  const LoggedAdif nullId = decodeLoggedAdif(datagram(kLoggedAdifType, QByteArray(), kAdif));
  EXPECT_EQ(nullId.fault, DatagramFault::None);
  EXPECT_TRUE(nullId.id.isEmpty());
}

TEST(LoggedAdif, OtherMessagesAndForeignDatagramsAreTold) {
  EXPECT_EQ(decodeLoggedAdif(datagram(0, "WSJT-X", "")).fault, DatagramFault::OtherType);   // heartbeat
  EXPECT_EQ(decodeLoggedAdif(datagram(5, "WSJT-X", kAdif)).fault, DatagramFault::OtherType);  // QSO logged
  EXPECT_EQ(decodeLoggedAdif(datagram(12, "X", kAdif, 4)).fault, DatagramFault::BadSchema);
  EXPECT_EQ(decodeLoggedAdif(datagram(12, "X", kAdif, 2, 0xDEADBEEF)).fault, DatagramFault::BadMagic);
  EXPECT_EQ(decodeLoggedAdif("").fault, DatagramFault::Truncated);
}

TEST(LoggedAdif, EveryCutIsTruncatedAndNothingReadsPastTheEnd) {
  const QByteArray whole = datagram(kLoggedAdifType, "WSJT-X", kAdif);
  for (qsizetype n = 0; n < whole.size(); ++n) {
    const LoggedAdif m = decodeLoggedAdif(QByteArrayView(whole).first(n));
    EXPECT_EQ(m.fault, DatagramFault::Truncated) << n;
  }
  // A length that claims more than the datagram holds, up to the largest.
  QByteArray lying = datagram(kLoggedAdifType, "WSJT-X", kAdif);
  const qsizetype adifLength = 12 + 4 + 6;
  for (quint32 claim : {quint32(kAdif.size() + 1), 0x7FFFFFFFu, 0xFFFFFFFEu}) {
    for (int i = 0; i < 4; ++i) lying[adifLength + i] = static_cast<char>(claim >> (24 - 8 * i));
    EXPECT_EQ(decodeLoggedAdif(lying).fault, DatagramFault::Truncated) << claim;
  }
}

TEST(LoggedAdif, OversizedAndGarbageAreRefused) {
  EXPECT_EQ(decodeLoggedAdif(datagram(kLoggedAdifType, "X", QByteArray(kMaxLogDatagram, 'x'))).fault,
            DatagramFault::Oversized);
  std::mt19937 random(34);
  for (int i = 0; i < 2000; ++i) {
    QByteArray garbage(static_cast<qsizetype>(random() % 200), '\0');
    for (char &c : garbage) c = static_cast<char>(random());
    // Half start as the protocol does, so the lengths after it are random.
    if (i % 2) garbage.prepend(datagram(kLoggedAdifType, "", "").left(12));
    const LoggedAdif m = decodeLoggedAdif(garbage);
    if (m.fault == DatagramFault::None) {
      EXPECT_LE(m.id.size() + m.adif.size(), garbage.size());
    }
  }
}
