// SoundControl: the panel's sound card controls. "Mute" and "Unmute" set the
// output's mute switch (looked up at every press); the volume and balance
// sliders set the two channels (the volume control is looked up before the
// first set). Mixer failures are ignored: without a sound card the panel works,
// and says which card and control it reaches, or "no mixer".
#ifndef TESSALY_APP_SOUNDCONTROL_H
#define TESSALY_APP_SOUNDCONTROL_H

#include <QObject>

#include "app/radio/mixer.h"

class Panel;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;

class SoundControl : public QObject {
  Q_OBJECT
public:
  // TXTVol shows the volume divided by this, to one decimal (65535 shows as 10.0).
  static constexpr double kVolumeScale = 6553.0;

  // Places the sound controls on `panel`. `panel` and `mixer` must outlive
  // the object.
  SoundControl(Panel *panel, radio::Mixer *mixer, QObject *parent = nullptr);

  // Presses "Unmute" when "Mute" is checked, else "Mute".
  void toggleMute();

private:
  void setMute(bool muted);
  void applyBalance();
  // The volume in the box, as the mixer is given it.
  long boxVolume() const;

  Panel *panel_;
  radio::Mixer *mixer_;
  QRadioButton *muteButton_, *unmuteButton_;
  QSlider *volumeSlider_, *balanceSlider_;
  QLineEdit *volumeBox_, *volumeTenths_;
  QLabel *mixerState_, *balanceCaption_;
  bool volumeFound_ = false;
};

#endif
