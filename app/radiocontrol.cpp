#include "app/radiocontrol.h"

#include <QDebug>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "app/form.h"
#include "app/panel.h"
#include "app/radio/frames.h"
#include "app/radio/linkwatch.h"

using form::place;
using radio::RadioLink;
using radio::RadioState;

namespace {

QLabel *lamp(QWidget *parent, const char *name, int y, const char *colour) {
  QLabel *l = place<QLabel>(parent, name, 252, y, 10, 10);
  l->setStyleSheet(QStringLiteral("background: %1; border-radius: 5px;").arg(QLatin1String(colour)));
  l->hide();
  return l;
}

}  // namespace

RadioControl::RadioControl(Panel *panel, radio::SerialLink *port, QObject *parent)
    : QObject(parent), panel_(panel), port_(port), link_(port) {
  placeControls();
  connect(connectButton_, &QPushButton::clicked, this, &RadioControl::connectRadio);
  for (int code = 0; code < radio::kModeCount; ++code)
    connect(modeButtons_[code], &QPushButton::clicked, this,
            [this, code] { sendAndFocus(*radio::modeFrame(code), radio::kShortStatusLength); });
  connect(generalButton_, &QPushButton::clicked, this,
          [this] { sendAndFocus(radio::coverageFrame(radio::Coverage::General), radio::kShortStatusLength); });
  connect(amateurButton_, &QPushButton::clicked, this,
          [this] { sendAndFocus(radio::coverageFrame(radio::Coverage::Amateur), radio::kShortStatusLength); });
  // A slider sends its position when it comes to rest, not at every step of a drag.
  for (int i = 0; i < 2; ++i) {
    connect(sliders_[i], &QSlider::sliderReleased, this, [this, i] { sendSlider(i); });
    connect(sliders_[i], &QSlider::valueChanged, this, [this, i, s = sliders_[i]] {
      if (!s->isSliderDown()) sendSlider(i);
    });
  }
  connect(breakButton_, &QPushButton::clicked, this, &RadioControl::pause);

  connect(&link_, &RadioLink::eventStarted, this, [this] {
    receiveLamp_->show();
    replyReversed_->clear();
  });
  connect(&link_, &RadioLink::bufferRead, this, [this](int length) { bytesRead_->setText(QString::number(length)); });
  connect(&link_, &RadioLink::replyReceived, this, &RadioControl::showReply);
  connect(&link_, &RadioLink::eventEnded, this, [this] {
    pauseLamp_->hide();
    receiveLamp_->hide();
  });
  connect(&link_, &RadioLink::failed, this, [this](const QString &why) { panel_->showStatus(why); });
}

void RadioControl::placeControls() {
  receiveLamp_ = lamp(panel_, "RxLamp", panel_row::kTune + 2, "lime");
  pauseLamp_ = lamp(panel_, "PauseLamp", panel_row::kTune + 22, "red");

  generalButton_ = place<QPushButton>(panel_, "GenBut", 276, panel_row::kButtons, 34, 22, "GEN");
  generalButton_->setToolTip(tr("Switch the transceiver to general coverage"));
  amateurButton_ = place<QPushButton>(panel_, "HamBut", 312, panel_row::kButtons, 34, 22, "HAM");
  amateurButton_->setToolTip(tr("Switch the transceiver to the amateur bands"));
  static const char *const kModeButtons[8] = {"But_LSB", "But_USB", "But_CWW", "But_CWN",
                                              "But_AMW", "But_AMN", "But_FSK", "But_FM"};
  for (int i = 0; i < 8; ++i) {
    modeButtons_[i] = place<QPushButton>(panel_, kModeButtons[i], 350 + 36 * i, panel_row::kButtons, 34, 22, radio::modeName(i));
    modeButtons_[i]->setToolTip(tr("Set the transceiver's mode to %1").arg(radio::modeName(i)));
  }

  // Receiver sliders in their frames.
  QGroupBox *frames[2] = {place<QGroupBox>(panel_, "Slider1Frame", 4, panel_row::kSliders, 150, 44),
                          place<QGroupBox>(panel_, "Slider2Frame", 158, panel_row::kSliders, 120, 44)};
  sliders_[0] = form::slider(frames[0], "Slider1", 6, 16, 138, 1, 254, 200);
  sliders_[1] = form::slider(frames[1], "Slider2", 6, 16, 108, 0, 30, 15);
  sliders_[0]->setToolTip(tr("Receiver slider 1 (1 to 254), sent to the transceiver when it comes to rest"));
  sliders_[1]->setToolTip(tr("Receiver slider 2 (0 to 30), sent to the transceiver when it comes to rest"));
  for (int i = 0; i < 2; ++i) {
    frames[i]->setToolTip(sliders_[i]->toolTip());
    // The frame's title names the slider and shows its value.
    auto showValue = [frame = frames[i], i](int value) { frame->setTitle(tr("Slider %1: %2").arg(i + 1).arg(value)); };
    connect(sliders_[i], &QSlider::valueChanged, frames[i], showValue);
    showValue(sliders_[i]->value());
  }

  // Last reply.
  replyHex_ = place<QLineEdit>(panel_, "Text1", 4, panel_row::kReply, 300, 20);
  replyReversed_ = place<QLineEdit>(panel_, "Text4", 308, panel_row::kReply, 250, 20);
  bytesRead_ = place<QLineEdit>(panel_, "BufLen", 562, panel_row::kReply, 36, 20);
  reversedLength_ = place<QLineEdit>(panel_, "InLen", 600, panel_row::kReply, 36, 20);
  replyHex_->setToolTip(tr("Last reply, hex"));
  replyReversed_->setToolTip(
      tr("Last reply, hex with the bytes in reverse order (or as it came, when its length was unexpected)"));
  bytesRead_->setToolTip(tr("Bytes read at the last event of the port"));
  reversedLength_->setToolTip(tr("Length of the reversed hex of the last reply"));
  form::captionAbove(replyHex_, tr("Last reply, hex"));
  form::captionAbove(replyReversed_, tr("Last reply, bytes reversed"));
  form::captionAbove(bytesRead_, tr("Read"));
  form::captionAbove(reversedLength_, tr("Length"));
  QLabel *portLabel = place<QLabel>(panel_, "PortLabel", 4, panel_row::kPort, 28, 20, "Port");
  portName_ = place<QLineEdit>(panel_, "PortNum", 34, panel_row::kPort, 250, 20);
  portLabel->setBuddy(portName_);
  portName_->setReadOnly(true);
  portName_->setToolTip(tr("Serial port of the transceiver"));

  connectButton_ = place<QPushButton>(panel_, "But_Power", 4, panel_row::kCommands, 120, 26, "Connect to Tessaly");
  connectButton_->setToolTip(tr("Connect: read the transceiver's full status (also the * key)"));
  breakButton_ = place<QPushButton>(panel_, "BreakBut", 128, panel_row::kCommands, 60, 26, "Break");
  breakButton_->setToolTip(tr("Pause the link briefly after the next event (also the / key)"));
}

void RadioControl::start(const QString &portLabel) {
  QString error;
  if (!port_->open(&error)) {
    const QString message = tr("Port %1 could not be opened: %2; %3.").arg(portLabel, error, radio::LinkWatch::checks());
    panel_->showStatus(message);
    qWarning().noquote() << "tessaly:" << message;
    state_.setPortClosed();
  }
  radio::prepareLine(port_);
  portName_->setText(portLabel);
}

void RadioControl::stop() {
  port_->setDtr(false);
  port_->close();
  state_.setPortClosed();
}

void RadioControl::connectRadio() { link_.send(radio::connectFrame(), radio::kFullStatusLength); }

void RadioControl::pause() {
  pauseLamp_->show();
  link_.pauseNextEvent(kBreakPauseMs);
}

void RadioControl::sendAndFocus(const QByteArray &frame, int replyLength) {
  link_.send(frame, replyLength);
  panel_->focusKeys();
}

void RadioControl::sendSlider(int which) {
  const int value = sliders_[which]->value();
  sendAndFocus(which == 0 ? radio::slider1Frame(value) : radio::slider2Frame(value), radio::kSliderReplyLength);
}

void RadioControl::showReply(const radio::Reply &reply) {
  replyHex_->setText(reply.text1);
  replyReversed_->setText(reply.text4);
  if (reply.inLen) reversedLength_->setText(QString::number(*reply.inLen));
  if (reply.decoded) panel_->showStatus(QString());
  // Replies come when they come: the operator may be typing elsewhere.
  panel_->focusKeys(Panel::FocusFrom::Background);
  emit replyShown();
}
