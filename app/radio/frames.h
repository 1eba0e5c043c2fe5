// The 5-byte command frames of the transceiver's CAT link.
//
// A frame is four parameter bytes and an opcode. Every command is echoed by the
// transceiver and carried out only after the execute frame follows the echo; the
// reply lengths below say how many bytes the transceiver then sends.
#ifndef TESSALY_APP_RADIO_FRAMES_H
#define TESSALY_APP_RADIO_FRAMES_H

#include <QByteArray>
#include <QString>
#include <optional>

namespace radio {

constexpr int kFrameLength = 5;

// Reply lengths of the commands.
constexpr int kFullStatusLength = 148;   // connect / read full status
constexpr int kFrequencyReplyLength = 5; // set frequency
constexpr int kShortStatusLength = 22;   // mode and coverage
constexpr int kSliderReplyLength = 1;    // the two receiver sliders

// Mode codes as the transceiver reports them (0 .. 7), in this order.
constexpr int kModeCount = 8;
// Returns the name of mode code `code` ("LSB" .. "FM"), or "" outside 0 .. 7.
QString modeName(int code);

enum class Coverage { General, Amateur };

// 00 00 00 00 0B: makes the transceiver carry out the command it just echoed.
QByteArray executeFrame();
// 00 00 00 00 00: read the full status (reply kFullStatusLength).
QByteArray connectFrame();
// 00 00 00 1m 0A for mode code m in 0 .. 7 (reply kShortStatusLength).
// Returns nullopt for any other code.
std::optional<QByteArray> modeFrame(int code);
// 00 00 00 21 0A for general coverage, 00 00 00 22 0A for amateur coverage.
QByteArray coverageFrame(Coverage coverage);
// 00 00 00 (255 - value) 04; `value` is clamped to the slider's range 1 .. 254.
QByteArray slider1Frame(int value);
// 00 00 00 value 05; `value` is clamped to the slider's range 0 .. 30.
QByteArray slider2Frame(int value);
// The set-frequency frame for `tenHz`, a frequency in units of 10 Hz
// (0 .. 9999999, that is 00000.00 .. 99999.99 kHz): seven BCD digits, least
// significant byte first, then opcode 08. Returns nullopt outside that range.
std::optional<QByteArray> frequencyFrame(long tenHz);

// Two upper-case hex digits per byte, in order, without separators.
QString hexText(const QByteArray &bytes);

}  // namespace radio

#endif
