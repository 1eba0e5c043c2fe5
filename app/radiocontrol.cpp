#include "app/radiocontrol.h"

#include <QDebug>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include "app/memorychannels.h"
#include "app/panel.h"
#include "app/radio/frames.h"
#include "app/radio/linkwatch.h"

using radio::RadioLink;

RadioControl::RadioControl(Panel *panel, MemoryChannels *memory, radio::SerialLink *port, QObject *parent)
    : QObject(parent), panel_(panel), memory_(memory), port_(port), link_(port) {
  connect(panel_->But_Power, &QPushButton::clicked, this,
          [this] { link_.send(radio::connectFrame(), radio::kFullStatusLength); });
  for (int code = 0; code < radio::kModeCount; ++code)
    connect(panel_->ModeButton[code], &QPushButton::clicked, this,
            [this, code] { sendAndFocus(*radio::modeFrame(code), radio::kShortStatusLength); });
  connect(panel_->GenBut, &QPushButton::clicked, this,
          [this] { sendAndFocus(radio::coverageFrame(radio::Coverage::General), radio::kShortStatusLength); });
  connect(panel_->HamBut, &QPushButton::clicked, this,
          [this] { sendAndFocus(radio::coverageFrame(radio::Coverage::Amateur), radio::kShortStatusLength); });
  // A slider sends its position when it comes to rest, not at every step of a drag.
  const QSlider *sliders[2] = {panel_->Slider1, panel_->Slider2};
  for (int i = 0; i < 2; ++i) {
    connect(sliders[i], &QSlider::sliderReleased, this, [this, i] { sendSlider(i); });
    connect(sliders[i], &QSlider::valueChanged, this, [this, i, s = sliders[i]] {
      if (!s->isSliderDown()) sendSlider(i);
    });
  }
  connect(panel_->BreakBut, &QPushButton::clicked, this, [this] {
    panel_->PauseLamp->show();
    link_.pauseNextEvent(kBreakPauseMs);
  });

  connect(&link_, &RadioLink::eventStarted, this, [this] {
    panel_->RxLamp->show();
    panel_->Text4->clear();
  });
  connect(&link_, &RadioLink::bufferRead, this,
          [this](int length) { panel_->BufLen->setText(QString::number(length)); });
  connect(&link_, &RadioLink::replyReceived, this, &RadioControl::showReply);
  connect(&link_, &RadioLink::eventEnded, this, [this] {
    panel_->PauseLamp->hide();
    panel_->RxLamp->hide();
  });
  connect(&link_, &RadioLink::failed, this, [this](const QString &why) {
    panel_->StatusLine->setText(why);
    setLinkState(LinkState::NoAnswer);
  });
  setLinkState(LinkState::NotConnected);
}

void RadioControl::start(const QString &portLabel) {
  QString error;
  if (!port_->open(&error)) {
    const QString message = tr("Port %1 could not be opened: %2").arg(portLabel, error);
    panel_->StatusLine->setText(message);
    qWarning().noquote() << "tessaly:" << message;
    setLinkState(LinkState::PortClosed);
  }
  radio::prepareLine(port_);
  panel_->PortNum->setText(portLabel);
}

void RadioControl::stop() {
  panel_->Timer1->stop();
  panel_->Timer2->stop();
  port_->setDtr(false);
  port_->close();
  setLinkState(LinkState::PortClosed);
}

void RadioControl::sendAndFocus(const QByteArray &frame, int replyLength) {
  link_.send(frame, replyLength);
  panel_->focusKeys();
}

void RadioControl::sendSlider(int which) {
  const QByteArray frame =
      which == 0 ? radio::slider1Frame(panel_->Slider1->value()) : radio::slider2Frame(panel_->Slider2->value());
  sendAndFocus(frame, radio::kSliderReplyLength);
}

void RadioControl::showReply(const radio::Reply &reply) {
  panel_->Text1->setText(reply.text1);
  panel_->Text4->setText(reply.text4);
  if (reply.inLen) panel_->InLen->setText(QString::number(*reply.inLen));
  if (reply.digits) panel_->showDigits(*reply.digits);
  if (reply.entry) panel_->NewFrq->setText(*reply.entry);
  if (reply.mode) panel_->ModeL->setText(*reply.mode);
  if (reply.coverage) panel_->HGA->setText(*reply.coverage);
  memory_->showRows(reply.memory);
  if (reply.decoded) {
    panel_->StatusLine->clear();
    setLinkState(LinkState::Connected);
  }
  // Replies come when they come: the operator may be typing elsewhere.
  panel_->focusKeys(Panel::FocusFrom::Background);
  emit replyShown();
}

QString RadioControl::linkStateText(LinkState state) {
  switch (state) {
    case LinkState::PortClosed: return tr("Port not open");
    case LinkState::NotConnected: return tr("Not connected");
    case LinkState::Connected: return tr("Connected");
    case LinkState::NoAnswer: return tr("No answer");
  }
  return {};
}

void RadioControl::setLinkState(LinkState state) {
  state_ = state;
  panel_->LinkState->setText(linkStateText(state));
  emit linkStateChanged(state);
}
