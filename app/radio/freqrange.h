// FrequencyRange: the frequencies the program lets anyone tune, one setting
// shared by everything that tunes (the rigctld server's set and its advertised
// range, the panel). The default is the general-coverage receiver's range,
// 100 kHz to 30 MHz; `--range LO-HI` (kHz) narrows or moves it within what the
// frequency frame can carry.
#ifndef TESSALY_APP_RADIO_FREQRANGE_H
#define TESSALY_APP_RADIO_FREQRANGE_H

#include <QString>
#include <optional>

namespace radio {

struct FrequencyRange {
  // What the set-frequency frame can carry: seven digits of 10 Hz.
  static constexpr long kFrameMaxHz = 99999990;

  long lowHz = 100000;
  long highHz = 30000000;

  bool contains(long hz) const { return hz >= lowHz && hz <= highHz; }
  bool operator==(const FrequencyRange &) const = default;

  // Reads "LO-HI" in kHz ("100-30000", "1800-2000.5"); nullopt unless
  // 0 <= LO < HI <= kFrameMaxHz and both are whole multiples of 10 Hz.
  static std::optional<FrequencyRange> parse(const QString &text);
  // "100-30000", the form parse() reads.
  QString text() const;
  // "00100.00 to 30000.00 kHz", as the panel and the log show frequencies.
  QString shownText() const;
};

}  // namespace radio

#endif
