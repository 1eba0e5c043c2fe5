#include "app/txbutton.h"

#include "app/panel.h"
#include "app/radio/ptt.h"

using radio::Ptt;

TxButton::TxButton(Ptt *ptt, QWidget *panel) : QPushButton(QStringLiteral("TX"), panel), ptt_(ptt) {
  setObjectName(QStringLiteral("TxBut"));
  setGeometry(578, panel_row::kCommands, 58, 26);
  connect(this, &QPushButton::clicked, this, &TxButton::onPressed);
  connect(ptt_, &Ptt::keyedChanged, this, &TxButton::showKeyed);
  showLine();
  showKeyed(ptt_->keyed());
}

void TxButton::showLine() {
  const bool usable = ptt_->line() != Ptt::Line::None;
  setEnabled(usable);
  setToolTip(usable ? tr("Key the transmitter (RTS); press again to unkey, whoever keyed it")
                    : Ptt::resultText(Ptt::Result::NoLine));
}

void TxButton::onPressed() {
  const Ptt::Result result = ptt_->keyed() ? ptt_->unkey(Ptt::kPanel) : ptt_->key(Ptt::kPanel);
  if (result != Ptt::Result::Ok) emit refused(tr("TX: %1").arg(Ptt::resultText(result)));
}

void TxButton::showKeyed(bool keyed) {
  setStyleSheet(keyed ? QStringLiteral("background-color: #d00000; color: white; font-weight: bold;") : QString());
}
