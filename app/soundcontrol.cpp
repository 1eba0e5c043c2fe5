#include "app/soundcontrol.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

#include "app/form.h"
#include "app/panel.h"
#include "app/radio/frequency.h"

using form::place;

SoundControl::SoundControl(Panel *panel, radio::Mixer *mixer, QObject *parent)
    : QObject(parent), panel_(panel), mixer_(mixer) {
  volumeSlider_ = form::slider(panel_, "VolumeControl", 284, panel_row::kSound, 94, 0, 65535, 30000);
  volumeBox_ = place<QLineEdit>(panel_, "TXTVolumeControl", 380, panel_row::kSound, 48, 20, "32768");
  balanceSlider_ = form::slider(panel_, "BalanceControl", 432, panel_row::kSound, 84, -100, 100, 0);
  balanceSlider_->setSingleStep(5);
  balanceSlider_->setPageStep(10);
  volumeTenths_ = place<QLineEdit>(panel_, "TXTVol", 520, panel_row::kSound, 116, 20);
  volumeSlider_->setToolTip(tr("Sound card volume"));
  volumeBox_->setToolTip(tr("Sound card volume, 0 to 65535"));
  balanceSlider_->setToolTip(tr("Sound card balance, full left to full right"));
  volumeTenths_->setToolTip(tr("Sound card volume on a scale of 0 to 10"));
  volumeTenths_->setText(QString::number(boxVolume() / kVolumeScale, 'f', 1));
  form::captionAbove(volumeSlider_, tr("Volume"));
  form::captionAbove(volumeBox_, tr("Level"));
  balanceCaption_ = form::captionAbove(balanceSlider_, {});
  auto showBalance = [this](int value) { balanceCaption_->setText(tr("Balance: %1").arg(value)); };
  showBalance(balanceSlider_->value());
  connect(balanceSlider_, &QSlider::valueChanged, this, showBalance);
  form::captionAbove(volumeTenths_, tr("Volume, 0 to 10"));
  muteButton_ = place<QRadioButton>(panel_, "MuteOff", 284, panel_row::kMute, 56, 20, "Mute");
  muteButton_->setToolTip(tr("Mute the sound card's output (also Backspace)"));
  unmuteButton_ = place<QRadioButton>(panel_, "MuteOn", 342, panel_row::kMute, 64, 20, "Unmute");
  unmuteButton_->setToolTip(tr("Unmute the sound card's output (also Backspace)"));
  // What the controls reach, so that a missing sound card is seen, not guessed.
  const QString mixerState = mixer_->state();
  mixerState_ = place<QLabel>(panel_, "MixerState", 536, panel_row::kStatus, 100, 18);
  mixerState_->setText(mixerState_->fontMetrics().elidedText(mixerState, Qt::ElideRight, 100));
  mixerState_->setToolTip(tr("Mixer: %1. The sound card and control that Mute, Unmute and the volume set").arg(mixerState));
  connect(muteButton_, &QRadioButton::clicked, this, [this] { setMute(true); });
  connect(unmuteButton_, &QRadioButton::clicked, this, [this] { setMute(false); });
  connect(volumeSlider_, &QSlider::valueChanged, this, [this](int value) {
    volumeBox_->setText(QString::number(value));
    applyBalance();
  });
  connect(balanceSlider_, &QSlider::valueChanged, this, &SoundControl::applyBalance);
}

void SoundControl::toggleMute() { (muteButton_->isChecked() ? unmuteButton_ : muteButton_)->click(); }

void SoundControl::setMute(bool muted) {
  mixer_->lookUpMute();
  mixer_->setMute(muted);
  panel_->focusKeys();
}

void SoundControl::applyBalance() {
  const long volume = boxVolume();
  const radio::Channels ch = radio::balancedChannels(volume, balanceSlider_->value());
  if (!volumeFound_) volumeFound_ = mixer_->lookUpVolume();
  mixer_->setStereoVolume(ch.left, ch.right);
  volumeTenths_->setText(QString::number(volume / kVolumeScale, 'f', 1));
}

long SoundControl::boxVolume() const { return static_cast<long>(radio::leadingNumber(volumeBox_->text())); }
