#include "app/soundcontrol.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

#include "app/panel.h"
#include "app/radio/frequency.h"

SoundControl::SoundControl(Panel *panel, radio::Mixer *mixer, QObject *parent)
    : QObject(parent), panel_(panel), mixer_(mixer) {
  connect(panel_->MuteOff, &QRadioButton::clicked, this, [this] { setMute(true); });
  connect(panel_->MuteOn, &QRadioButton::clicked, this, [this] { setMute(false); });
  connect(panel_->VolumeControl, &QSlider::valueChanged, this, [this](int value) {
    volume_ = value;
    panel_->TXTVolumeControl->setText(QString::number(value));
    applyBalance();
  });
  connect(panel_->BalanceControl, &QSlider::valueChanged, this, &SoundControl::applyBalance);
}

void SoundControl::setMute(bool muted) {
  mixer_->lookUpMute();
  mixer_->setMute(muted);
  panel_->focusKeys();
}

void SoundControl::applyBalance() {
  const long volume = static_cast<long>(radio::leadingNumber(panel_->TXTVolumeControl->text()));
  const radio::Channels ch = radio::balancedChannels(volume, panel_->BalanceControl->value());
  if (!volumeFound_) volumeFound_ = mixer_->lookUpVolume();
  mixer_->setStereoVolume(ch.left, ch.right);
  panel_->TXTVol->setText(QString::number(volume_ / kVolumeScale, 'g', 15));
}
