// AlsaMixer: the Mixer of the sound card "default" through ALSA's simple-mixer
// interface. The element is "Master", else the first one with a playback
// volume; its playback switch mutes, its per-channel playback volume takes the
// stereo value scaled from 0 .. 65535 to the element's own range.
#ifndef TESSALY_APP_RADIO_ALSAMIXER_H
#define TESSALY_APP_RADIO_ALSAMIXER_H

#include "app/radio/mixer.h"

struct _snd_mixer;
struct _snd_mixer_elem;

namespace radio {

class AlsaMixer : public Mixer {
public:
  AlsaMixer() = default;
  ~AlsaMixer() override;
  AlsaMixer(const AlsaMixer &) = delete;
  AlsaMixer &operator=(const AlsaMixer &) = delete;

  bool lookUpMute() override;
  bool setMute(bool muted) override;
  bool lookUpVolume() override;
  bool setStereoVolume(uint32_t left, uint32_t right) override;
  QString state() override;

private:
  // Opens the mixer on first use and finds the output element; null on failure.
  _snd_mixer_elem *findOutput();

  _snd_mixer *mixer_ = nullptr;
  _snd_mixer_elem *muteElem_ = nullptr;
  _snd_mixer_elem *volumeElem_ = nullptr;
};

}  // namespace radio

#endif
