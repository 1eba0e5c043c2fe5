// The sound card's output, as the panel sets it: mute and a stereo volume.
// Implementations: AlsaMixer and, in the tests, a recording fake. Every call
// reports success; callers may ignore failures (no sound card is not an error).
#ifndef TESSALY_APP_RADIO_MIXER_H
#define TESSALY_APP_RADIO_MIXER_H

#include <QString>
#include <cstdint>

namespace radio {

class Mixer {
public:
  virtual ~Mixer() = default;
  // Finds the output's mute switch; done before every mute or unmute.
  virtual bool lookUpMute() = 0;
  // Mutes (true) or unmutes (false) the output found by lookUpMute().
  virtual bool setMute(bool muted) = 0;
  // Finds the output's volume control; done before the first volume set.
  virtual bool lookUpVolume() = 0;
  // Sets the two channels, each on the scale 0 .. 65535.
  virtual bool setStereoVolume(uint32_t left, uint32_t right) = 0;
  // What the controls reach, for the operator: the card and element
  // ("default: Master"), or "no mixer" and why.
  virtual QString state() = 0;
};

// The two channel values for volume `volume` (0 .. 65535) and balance `balance`
// (-100 full left .. 100 full right): the far side is scaled down, the near
// side keeps the volume.
struct Channels {
  uint32_t left;
  uint32_t right;
};
Channels balancedChannels(long volume, int balance);

}  // namespace radio

#endif
