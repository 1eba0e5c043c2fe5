#include "app/radio/frames.h"

#include <algorithm>

namespace radio {
namespace {

QByteArray frame(unsigned char param4, unsigned char opcode) {
  QByteArray f(kFrameLength, '\0');
  f[3] = static_cast<char>(param4);
  f[4] = static_cast<char>(opcode);
  return f;
}

constexpr unsigned char kOpConnect = 0x00;
constexpr unsigned char kOpSlider1 = 0x04;
constexpr unsigned char kOpSlider2 = 0x05;
constexpr unsigned char kOpFrequency = 0x08;
constexpr unsigned char kOpModeOrCoverage = 0x0A;
constexpr unsigned char kOpExecute = 0x0B;

}  // namespace

QString modeName(int code) {
  static const char *const kNames[kModeCount] = {"LSB", "USB", "CW-W", "CW-N", "AM-W", "AM-N", "FSK", "FM"};
  return code >= 0 && code < kModeCount ? QString::fromLatin1(kNames[code]) : QString();
}

QByteArray executeFrame() { return frame(0x00, kOpExecute); }

QByteArray connectFrame() { return frame(0x00, kOpConnect); }

std::optional<QByteArray> modeFrame(int code) {
  if (code < 0 || code >= kModeCount) return std::nullopt;
  return frame(static_cast<unsigned char>(0x10 + code), kOpModeOrCoverage);
}

QByteArray coverageFrame(Coverage coverage) {
  return frame(coverage == Coverage::General ? 0x21 : 0x22, kOpModeOrCoverage);
}

QByteArray slider1Frame(int value) {
  return frame(static_cast<unsigned char>(255 - std::clamp(value, 1, 254)), kOpSlider1);
}

QByteArray slider2Frame(int value) {
  return frame(static_cast<unsigned char>(std::clamp(value, 0, 30)), kOpSlider2);
}

std::optional<QByteArray> frequencyFrame(long tenHz) {
  if (tenHz < 0 || tenHz > 9999999) return std::nullopt;
  QByteArray f(kFrameLength, '\0');
  // Two decimal digits per byte, the higher digit in the high nibble; the
  // lowest pair (100 Hz, 10 Hz) first and the lone 10 MHz digit last.
  for (int i = 0; i < 4; ++i) {
    const int pair = static_cast<int>(tenHz % 100);
    tenHz /= 100;
    f[i] = static_cast<char>((pair / 10) << 4 | (pair % 10));
  }
  f[4] = static_cast<char>(kOpFrequency);
  return f;
}

QString hexText(const QByteArray &bytes) {
  return QString::fromLatin1(bytes.toHex().toUpper());
}

}  // namespace radio
