#include "app/tables/loggedadif.h"

#include <optional>

namespace tables {

namespace {

constexpr quint32 kNoBytes = 0xFFFFFFFF;

// Reads big-endian numbers and byte strings; every read checks what is left.
class DatagramReader {
public:
  explicit DatagramReader(QByteArrayView data) : data_(data) {}

  std::optional<quint32> number() {
    if (data_.size() - pos_ < 4) return std::nullopt;
    quint32 value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<quint8>(data_[pos_ + i]);
    pos_ += 4;
    return value;
  }

  std::optional<QByteArray> bytes() {
    const std::optional<quint32> length = number();
    if (!length) return std::nullopt;
    if (*length == kNoBytes) return QByteArray();
    if (*length > static_cast<quint64>(data_.size() - pos_)) return std::nullopt;
    QByteArray out = data_.sliced(pos_, *length).toByteArray();
    pos_ += *length;
    return out;
  }

private:
  QByteArrayView data_;
  qsizetype pos_ = 0;
};

}  // namespace

LoggedAdif decodeLoggedAdif(QByteArrayView datagram) {
  LoggedAdif out;
  if (datagram.size() > kMaxLogDatagram) {
    out.fault = DatagramFault::Oversized;
    return out;
  }
  DatagramReader in(datagram);
  const std::optional<quint32> magic = in.number(), schema = in.number(), type = in.number();
  if (!magic || *magic != kLoggedAdifMagic) {
    out.fault = magic ? DatagramFault::BadMagic : DatagramFault::Truncated;
    return out;
  }
  if (!schema || !type) return out;
  if (*schema != 2 && *schema != 3) {
    out.fault = DatagramFault::BadSchema;
    return out;
  }
  if (*type != kLoggedAdifType) {
    out.fault = DatagramFault::OtherType;
    return out;
  }
  std::optional<QByteArray> id = in.bytes();
  std::optional<QByteArray> adif = id ? in.bytes() : std::nullopt;
  if (!adif) return out;
  out.fault = DatagramFault::None;
  out.id = std::move(*id);
  out.adif = std::move(*adif);
  return out;
}

}  // namespace tables
