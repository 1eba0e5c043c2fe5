#include "app/radio/alsamixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <string_view>

namespace radio {

AlsaMixer::~AlsaMixer() {
  if (mixer_) snd_mixer_close(mixer_);
}

snd_mixer_elem_t *AlsaMixer::findOutput() {
  if (!mixer_) {
    snd_mixer_t *m = nullptr;
    if (snd_mixer_open(&m, 0) < 0) return nullptr;
    if (snd_mixer_attach(m, "default") < 0 || snd_mixer_selem_register(m, nullptr, nullptr) < 0 ||
        snd_mixer_load(m) < 0) {
      snd_mixer_close(m);
      return nullptr;
    }
    mixer_ = m;
  }
  snd_mixer_handle_events(mixer_);
  snd_mixer_elem_t *first = nullptr;
  for (snd_mixer_elem_t *e = snd_mixer_first_elem(mixer_); e; e = snd_mixer_elem_next(e)) {
    if (!snd_mixer_selem_is_active(e)) continue;
    if (std::string_view(snd_mixer_selem_get_name(e)) == "Master") return e;
    if (!first && snd_mixer_selem_has_playback_volume(e)) first = e;
  }
  return first;
}

QString AlsaMixer::state() {
  snd_mixer_elem_t *e = findOutput();
  if (!mixer_) return QStringLiteral("no mixer: no sound card \"default\"");
  if (!e) return QStringLiteral("no mixer: the card \"default\" has no output volume");
  return QStringLiteral("default: %1").arg(QString::fromLocal8Bit(snd_mixer_selem_get_name(e)));
}

bool AlsaMixer::lookUpMute() {
  snd_mixer_elem_t *e = findOutput();
  if (e && snd_mixer_selem_has_playback_switch(e)) muteElem_ = e;
  return e && muteElem_ == e;
}

bool AlsaMixer::setMute(bool muted) {
  return muteElem_ && snd_mixer_selem_set_playback_switch_all(muteElem_, muted ? 0 : 1) == 0;
}

bool AlsaMixer::lookUpVolume() {
  snd_mixer_elem_t *e = findOutput();
  if (e && snd_mixer_selem_has_playback_volume(e)) volumeElem_ = e;
  return e && volumeElem_ == e;
}

bool AlsaMixer::setStereoVolume(uint32_t left, uint32_t right) {
  if (!volumeElem_) return false;
  long min = 0, max = 0;
  if (snd_mixer_selem_get_playback_volume_range(volumeElem_, &min, &max) < 0) return false;
  const auto scale = [min, max](uint32_t v) {
    const long long span = static_cast<long long>(max) - min;
    return static_cast<long>(min + (static_cast<long long>(std::min<uint32_t>(v, 65535)) * span + 32767) / 65535);
  };
  if (snd_mixer_selem_is_playback_mono(volumeElem_))
    return snd_mixer_selem_set_playback_volume_all(volumeElem_, scale(std::max(left, right))) == 0;
  const bool l = snd_mixer_selem_set_playback_volume(volumeElem_, SND_MIXER_SCHN_FRONT_LEFT, scale(left)) == 0;
  const bool r = snd_mixer_selem_set_playback_volume(volumeElem_, SND_MIXER_SCHN_FRONT_RIGHT, scale(right)) == 0;
  return l && r;
}

}  // namespace radio
