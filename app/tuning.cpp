#include "app/tuning.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWheelEvent>

#include "app/panel.h"
#include "app/radio/frames.h"
#include "app/radio/frequency.h"

using radio::leadingNumber;

Tuning::Tuning(Panel *panel, radio::RadioLink *link, QObject *parent)
    : QObject(parent), panel_(panel), link_(link) {
  connect(panel_->FreqGo, &QPushButton::clicked, this, [this] { freqGo(); });
  // Enter in the entry box tunes as Goto does.
  connect(panel_->NewFrq, &QLineEdit::returnPressed, this, [this] { freqGo(); });
  connect(panel_->FreqUp, &QPushButton::clicked, this,
          [this] { step(leadingNumber(panel_->JumpStep->text()), kUp, QStringLiteral("UP")); });
  connect(panel_->FreqDwn, &QPushButton::clicked, this,
          [this] { step(-leadingNumber(panel_->JumpStep->text()), kDown, QStringLiteral("DOWN")); });
  for (QPushButton *b : panel_->StepSz)
    connect(b, &QPushButton::clicked, this, [this, b] {
      panel_->JumpStep->setText(radio::plainNumberText(b->text()));
      panel_->focusKeys();
    });

  connect(panel_->LoSet, &QPushButton::clicked, this, [this] {
    setLowLimit(panel_->NewFrq->text());
    panel_->focusKeys();
  });
  connect(panel_->HiSet, &QPushButton::clicked, this, [this] {
    panel_->HiFrq->setText(panel_->NewFrq->text());
    panel_->focusKeys();
  });
  // The operator's own change of the low limit becomes the entry as well.
  connect(panel_->LoFrq, &QLineEdit::textEdited, panel_->NewFrq, &QLineEdit::setText);
  connect(panel_->List1, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
    if (listTarget_ == panel_->LoFrq)
      setLowLimit(item->text());
    else if (listTarget_)
      listTarget_->setText(item->text());
    panel_->List1->hide();
    panel_->focusKeys();
  });

  for (size_t i = 0; i < Panel::kBands.size(); ++i) {
    connect(panel_->Meter[i], &QPushButton::clicked, this, [this, band = Panel::kBands[i]] {
      panel_->NewFrq->setText(QLatin1String(band.tune));
      if (*band.low) {
        panel_->LoFrq->setText(QLatin1String(band.low));
        panel_->HiFrq->setText(QLatin1String(band.high));
      }
      freqGo();
    });
  }

  for (QObject *o : {static_cast<QObject *>(panel_->KBD), static_cast<QObject *>(panel_->NewFrq),
                     static_cast<QObject *>(panel_->LoFrq), static_cast<QObject *>(panel_->HiFrq)})
    o->installEventFilter(this);
  for (QLineEdit *digit : panel_->D1) digit->installEventFilter(this);
}

void Tuning::freqGo(Panel::FocusFrom focus) {
  const QString text = panel_->NewFrq->text();
  if (text.isEmpty()) return;
  const std::optional<long> tenHz = radio::parseKhz(text);
  if (!tenHz) {
    panel_->StatusLine->setText(tr("\"%1\" is not a frequency from 00000.00 to 99999.99 kHz").arg(text));
    panel_->focusKeys(focus);
    return;
  }
  panel_->NewFrq->setText(radio::khzText(*tenHz));
  link_->send(*radio::frequencyFrame(*tenHz), radio::kFrequencyReplyLength);
  panel_->focusKeys(focus);
}

void Tuning::step(double deltaKhz, int direction, const QString &caption, Panel::FocusFrom focus) {
  scanDirection_ = direction;
  const std::optional<long> tenHz = radio::khzToTenHz(leadingNumber(panel_->NewFrq->text()) + deltaKhz);
  if (tenHz) {
    panel_->NewFrq->setText(radio::khzText(*tenHz));
    freqGo(focus);
  }
  panel_->ScanDir->setText(caption);
  panel_->focusKeys(focus);
}

void Tuning::wheelDigit(int digit, QWheelEvent *event) {
  // kHz of one unit of each digit, 10 MHz first.
  static constexpr double kPlaceKhz[7] = {10000, 1000, 100, 10, 1, 0.1, 0.01};
  wheelAngle_ += event->angleDelta().y();
  const int notches = wheelAngle_ / QWheelEvent::DefaultDeltasPerStep;
  wheelAngle_ -= notches * QWheelEvent::DefaultDeltasPerStep;
  if (notches > 0)
    step(notches * kPlaceKhz[digit], kUp, QStringLiteral("UP"));
  else if (notches < 0)
    step(notches * kPlaceKhz[digit], kDown, QStringLiteral("DOWN"));
}

void Tuning::entryFromLowLimit() {
  const QString low = panel_->LoFrq->text();
  const std::optional<long> tenHz = radio::parseKhz(low);
  panel_->NewFrq->setText(tenHz ? radio::khzText(*tenHz) : low);
}

void Tuning::setLowLimit(const QString &text) {
  panel_->LoFrq->setText(text);
  panel_->NewFrq->setText(text);
}

void Tuning::showPickList(QLineEdit *target) {
  panel_->List1->clear();
  const QStringList lines = radio::limitPickList(panel_->LoFrq->text());
  if (lines.isEmpty()) {
    if (target == panel_->LoFrq)
      setLowLimit(panel_->NewFrq->text());
    else
      target->setText(panel_->NewFrq->text());
    return;
  }
  panel_->List1->addItems(lines);
  panel_->List1->move(387, 81);
  panel_->List1->show();
  panel_->List1->raise();
  listTarget_ = target;
}

bool Tuning::handleKey(int key, const QString &text) {
  if (text == "6" || key == Qt::Key_Right) {
    step(0.1, kUp, QStringLiteral("UP"));
  } else if (text == "4" || key == Qt::Key_Left) {
    step(-0.1, kDown, QStringLiteral("Down"));
  } else if (text == "8" || key == Qt::Key_Up) {
    step(1.0, kUp, QStringLiteral("UP"));
  } else if (text == "2" || key == Qt::Key_Down) {
    step(-1.0, kDown, QStringLiteral("Down"));
  } else if (key == Qt::Key_Backspace) {
    (panel_->MuteOff->isChecked() ? panel_->MuteOn : panel_->MuteOff)->click();
  } else if (text == "*") {
    panel_->But_Power->click();
  } else if (text == "/") {
    panel_->BreakBut->click();
  } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    panel_->ButtonPlus1->click();
  } else {
    return false;
  }
  return true;
}

bool Tuning::eventFilter(QObject *watched, QEvent *event) {
  if (watched == panel_->KBD && event->type() == QEvent::KeyPress) {
    const auto *key = static_cast<QKeyEvent *>(event);
    // Tab and Shift+Tab move the focus on, as anywhere else in the window.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) return false;
    handleKey(key->key(), key->text());
    panel_->KBD->clear();
    panel_->focusKeys();
    return true;  // the box only catches keys; it never keeps text
  }
  if (event->type() == QEvent::Wheel) {
    for (int digit = 0; digit < 7; ++digit) {
      if (watched == panel_->D1[digit]) {
        wheelDigit(digit, static_cast<QWheelEvent *>(event));
        return true;
      }
    }
  }
  if (event->type() == QEvent::MouseButtonDblClick && (watched == panel_->LoFrq || watched == panel_->HiFrq)) {
    showPickList(static_cast<QLineEdit *>(watched));
    return true;
  }
  if (watched == panel_->NewFrq && event->type() == QEvent::MouseButtonRelease) {
    QTimer::singleShot(0, panel_->NewFrq, &QLineEdit::selectAll);
  }
  return false;
}
