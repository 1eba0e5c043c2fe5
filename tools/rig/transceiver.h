// The simulated transceiver's state and the replies it gives to commands.
#ifndef TESSALY_TOOLS_RIG_TRANSCEIVER_H
#define TESSALY_TOOLS_RIG_TRANSCEIVER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rig {

using Frame = std::array<uint8_t, 5>;
using Bytes = std::vector<uint8_t>;

constexpr Frame kExecute = {0, 0, 0, 0, 0x0B};

struct Channel {
  uint32_t tenHz;    // frequency in units of 10 Hz
  uint8_t coverage;  // 0x00 general, 0x80 amateur
  uint8_t mode;      // 0 LSB .. 7 FM
};

class Transceiver {
public:
  // Starts on 14250.00 kHz, USB, amateur coverage, with twelve memory channels.
  Transceiver();

  // Carries out `command` and returns its reply: 148 bytes of full status for
  // opcode 00, 5 bytes for set frequency (08), 22 bytes of short status for mode
  // and coverage (0A), 1 byte for the sliders (04, 05), nothing for any other
  // opcode. Invalid parameters (a non-decimal frequency digit, an unknown mode
  // or coverage code) leave the state unchanged; the reply is still sent.
  Bytes execute(const Frame &command);

  uint32_t frequency() const { return tenHz_; }
  uint8_t mode() const { return mode_; }
  uint8_t coverage() const { return coverage_; }
  uint8_t slider(int which) const { return sliders_[which]; }

private:
  Bytes fullStatus() const;
  Bytes shortStatus() const;
  // Writes the 4-byte frequency field of `tenHz` at `at`.
  static void putFrequency(Bytes &out, size_t at, uint32_t tenHz);
  // Writes coverage, mode and the frequency field at the end of a status block.
  void putTail(Bytes &out) const;

  uint32_t tenHz_ = 1425000;
  uint8_t mode_ = 1;
  uint8_t coverage_ = 0x80;
  std::array<uint8_t, 2> sliders_{55, 15};
  std::array<Channel, 12> channels_;
};

// Reads the frequency of a set-frequency frame; false if a digit is not decimal.
bool frameFrequency(const Frame &frame, uint32_t *tenHz);

}  // namespace rig

#endif
