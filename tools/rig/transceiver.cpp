#include "tools/rig/transceiver.h"

namespace rig {

Transceiver::Transceiver()
    : channels_{{{184000, 0x80, 0}, {365000, 0x80, 0}, {705000, 0x80, 0}, {1012000, 0x80, 3},
                 {1425000, 0x80, 1}, {1810000, 0x80, 1}, {2120000, 0x80, 1}, {2495000, 0x80, 1},
                 {2850000, 0x80, 1}, {500000, 0x00, 4}, {950000, 0x00, 4}, {1500000, 0x00, 5}}} {}

bool frameFrequency(const Frame &frame, uint32_t *tenHz) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    const unsigned hi = frame[i] >> 4, lo = frame[i] & 0x0F;
    if (hi > 9 || lo > 9 || (i == 3 && hi != 0)) return false;
    value = value * 100 + hi * 10 + lo;
  }
  *tenHz = value;
  return true;
}

void Transceiver::putFrequency(Bytes &out, size_t at, uint32_t tenHz) {
  for (int i = 0; i < 4; ++i) {
    const unsigned pair = tenHz % 100;
    tenHz /= 100;
    out[at + i] = static_cast<uint8_t>((pair / 10) << 4 | (pair % 10));
  }
}

void Transceiver::putTail(Bytes &out) const {
  const size_t n = out.size();
  // 1-based bytes N-6 coverage, N-5 mode, N-4 .. N-1 frequency, N unused.
  out[n - 7] = coverage_;
  out[n - 6] = mode_;
  putFrequency(out, n - 5, tenHz_);
}

Bytes Transceiver::shortStatus() const {
  Bytes out(22, 0);
  putTail(out);
  return out;
}

Bytes Transceiver::fullStatus() const {
  Bytes out(148, 0);
  // Channel c (1 .. 12) occupies 1-based bytes 97-6c .. 102-6c.
  for (int c = 1; c <= 12; ++c) {
    const Channel &ch = channels_[c - 1];
    const size_t at = static_cast<size_t>(96 - 6 * c);
    putFrequency(out, at, ch.tenHz);
    out[at + 4] = ch.coverage;
    out[at + 5] = ch.mode;
  }
  putTail(out);
  return out;
}

Bytes Transceiver::execute(const Frame &command) {
  const uint8_t param = command[3];
  switch (command[4]) {
    case 0x00:
      return fullStatus();
    case 0x08: {
      uint32_t tenHz = 0;
      if (frameFrequency(command, &tenHz)) tenHz_ = tenHz;
      Bytes out(5, 0);
      putFrequency(out, 0, tenHz_);
      return out;
    }
    case 0x0A:
      if (param >= 0x10 && param <= 0x17) mode_ = param - 0x10;
      if (param == 0x21) coverage_ = 0x00;
      if (param == 0x22) coverage_ = 0x80;
      return shortStatus();
    case 0x04:
    case 0x05:
      sliders_[command[4] - 0x04] = param;
      return Bytes{param};
    default:
      return {};
  }
}

}  // namespace rig
