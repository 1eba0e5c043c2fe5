#include "app/tuning.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QWheelEvent>

#include "app/form.h"
#include "app/radio/frames.h"
#include "app/radio/freqrange.h"
#include "app/radio/frequency.h"
#include "app/radio/radiolink.h"
#include "app/radio/radiostate.h"

using form::place;
using radio::leadingNumber;

const std::array<Tuning::Band, 9> Tuning::kBands = {{
    {"Meter10", "10", "28200.00", "28000.00", "28999.00"},
    {"Meter11", "11", "27500.00", "", ""},
    {"Meter12", "12", "24900.00", "", ""},
    {"Meter15", "15", "21100.00", "", ""},
    {"Meter17", "17", "18200.00", "", ""},
    {"Meter20", "20", "14200.00", "14000.00", "14999.00"},
    {"Meter40", "40", "07100.00", "07100.00", "07299.00"},
    {"Meter80", "80", "03600.00", "03500.00", "03999.00"},
    {"Meter180", "160", "1600.00", "01600.00", "01699.00"},
}};

Tuning::Tuning(Panel *panel, radio::RadioLink *link, radio::RadioState *state, const radio::FrequencyRange *range,
               QObject *parent)
    : QObject(parent), panel_(panel), link_(link), state_(state), range_(range) {
  placeControls();
  connect(goButton_, &QPushButton::clicked, this, [this] { freqGo(); });
  // Enter in the entry box tunes as Goto does.
  connect(entry_, &QLineEdit::returnPressed, this, [this] { freqGo(); });
  connect(upButton_, &QPushButton::clicked, this, [this] { step(stepKhz(), kUp, QStringLiteral("UP")); });
  connect(downButton_, &QPushButton::clicked, this, [this] { step(-stepKhz(), kDown, QStringLiteral("DOWN")); });
  for (QPushButton *b : stepChoices_)
    connect(b, &QPushButton::clicked, this, [this, b] {
      stepBox_->setText(radio::plainNumberText(b->text()));
      panel_->focusKeys();
    });

  connect(setLowButton_, &QPushButton::clicked, this, [this] {
    setLowLimit(entry_->text());
    panel_->focusKeys();
  });
  connect(setHighButton_, &QPushButton::clicked, this, [this] {
    highLimit_->setText(entry_->text());
    panel_->focusKeys();
  });
  // The operator's own change of the low limit becomes the entry as well.
  connect(lowLimit_, &QLineEdit::textEdited, entry_, &QLineEdit::setText);
  connect(pickList_, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
    if (listTarget_ == lowLimit_)
      setLowLimit(item->text());
    else if (listTarget_)
      listTarget_->setText(item->text());
    pickList_->hide();
    panel_->focusKeys();
  });

  for (size_t i = 0; i < kBands.size(); ++i) {
    connect(bandButtons_[i], &QPushButton::clicked, this, [this, band = kBands[i]] {
      entry_->setText(QLatin1String(band.tune));
      if (*band.low) setScanLimits(QLatin1String(band.low), QLatin1String(band.high));
      freqGo();
    });
  }

  for (QLineEdit *box : {entry_, lowLimit_, highLimit_}) box->installEventFilter(this);
  connect(panel_, &Panel::digitWheeled, this, &Tuning::wheelDigit);
  // A full status is the radio's own frequency: the entry follows it.
  connect(state_, &radio::RadioState::fullStatusRead, this, [this] { entry_->setText(state_->frequencyText()); });
}

void Tuning::placeControls() {
  entry_ = place<QLineEdit>(panel_, "NewFrq", 268, panel_row::kTune, 66, 20);
  goButton_ = place<QPushButton>(panel_, "FreqGo", 336, panel_row::kTune, 40, 20, "Goto");
  goButton_->setToolTip(tr("Tune to the frequency in the entry box (also Enter in the box)"));
  upButton_ = place<QPushButton>(panel_, "FreqUp", 378, panel_row::kTune, 32, 20, "Up");
  upButton_->setToolTip(tr("Tune one step up from the radio's frequency"));
  downButton_ = place<QPushButton>(panel_, "FreqDwn", 412, panel_row::kTune, 40, 20, "Down");
  downButton_->setToolTip(tr("Tune one step down from the radio's frequency"));
  stepBox_ = place<QLineEdit>(panel_, "JumpStep", 454, panel_row::kTune, 34, 20, ".5");
  static const char *const kSteps[4] = {"0.10", "0.50", "1.00", "10.00"};
  for (int i = 0; i < 4; ++i) {
    stepChoices_[i] = place<QPushButton>(panel_, form::indexed("StepSz", i), 490 + 37 * i, panel_row::kTune, 35, 20, kSteps[i]);
    stepChoices_[i]->setToolTip(tr("Step of %1 kHz").arg(stepChoices_[i]->text()));
  }

  lowLimit_ = place<QLineEdit>(panel_, "LoFrq", 268, panel_row::kScanLimits, 66, 20, "07100.00");
  setLowButton_ = place<QPushButton>(panel_, "LoSet", 336, panel_row::kScanLimits, 40, 20, "Set Lo");
  setLowButton_->setToolTip(tr("Make the entry's frequency the low limit of the range scan"));
  highLimit_ = place<QLineEdit>(panel_, "HiFrq", 378, panel_row::kScanLimits, 66, 20, "07299.99");
  setHighButton_ = place<QPushButton>(panel_, "HiSet", 446, panel_row::kScanLimits, 40, 20, "Set Hi");
  setHighButton_->setToolTip(tr("Make the entry's frequency the high limit of the range scan"));
  directionLabel_ = place<QLabel>(panel_, "ScanDir", 534, panel_row::kScanLimits, 40, 20, "UP");
  directionLabel_->hide();
  entry_->setToolTip(tr("Frequency to tune to, kHz; Enter or Goto tunes there"));
  stepBox_->setToolTip(tr("Step of Up, Down and the range scan, kHz"));
  lowLimit_->setToolTip(tr("Low limit of the range scan, kHz; double-click for a list"));
  highLimit_->setToolTip(tr("High limit of the range scan, kHz; double-click for a list"));
  directionLabel_->setToolTip(tr("Direction of the range scan"));
  form::captionAbove(entry_, tr("Tune to, kHz"), 100);
  form::captionAbove(stepBox_, tr("Step, kHz"), 60);
  form::captionAbove(lowLimit_, tr("Scan from, kHz"), 100);
  form::captionAbove(highLimit_, tr("Scan to, kHz"), 100);

  for (size_t i = 0; i < kBands.size(); ++i) {
    bandButtons_[i] = place<QPushButton>(panel_, kBands[i].name, 4 + 30 * static_cast<int>(i), panel_row::kButtons, 28, 22,
                                         kBands[i].caption);
    bandButtons_[i]->setToolTip(
        tr("Tune to %1 kHz in the %2 m band").arg(QLatin1String(kBands[i].tune), QLatin1String(kBands[i].caption)));
  }

  // The pick list of scan limits floats over the panel when shown.
  pickList_ = place<QListWidget>(panel_, "List1", 387, panel_row::kSound + 3, 80, 140);
  pickList_->hide();
}

bool Tuning::tune(long tenHz, Panel::FocusFrom focus) {
  if (!range_->contains(tenHz * 10)) {
    refuse(tr("%1 kHz is outside the radio's range, %2: nothing was sent.")
               .arg(radio::khzText(tenHz), range_->shownText()),
           focus);
    return false;
  }
  entry_->setText(radio::khzText(tenHz));
  lastTuned_ = entry_->text();
  link_->send(*radio::frequencyFrame(tenHz), radio::kFrequencyReplyLength);
  panel_->focusKeys(focus);
  return true;
}

void Tuning::freqGo(Panel::FocusFrom focus) {
  const QString text = entry_->text().trimmed();
  if (text.isEmpty()) return;
  const std::optional<long> tenHz = radio::parseKhz(text);
  if (tenHz && range_->contains(*tenHz * 10)) {
    tune(*tenHz, focus);
    return;
  }
  const QString range = range_->shownText();
  QString why = tenHz ? tr("%1 kHz is outside the radio's range, %2: nothing was sent.").arg(text, range)
                      : tr("\"%1\" is not a frequency in kHz (range %2): nothing was sent.").arg(text, range);
  // Typed in MHz out of habit: "7.074" means 7074 kHz.
  const std::optional<long> asMhz = tenHz ? radio::khzToTenHz(radio::leadingNumber(text) * 1000) : std::nullopt;
  if (asMhz && *tenHz * 10 < range_->lowHz && range_->contains(*asMhz * 10))
    why += tr(" Did you mean %1 kHz?").arg(radio::khzText(*asMhz));
  refuse(why, focus);
}

void Tuning::refuse(const QString &why, Panel::FocusFrom focus) {
  panel_->showStatus(why);
  if (const std::optional<long> radioTenHz = state_->frequency())
    entry_->setText(radio::khzText(*radioTenHz));
  else
    entry_->setText(lastTuned_);
  panel_->focusKeys(focus);
}

void Tuning::step(double deltaKhz, int direction, const QString &caption, Panel::FocusFrom focus) {
  scanDirection_ = direction;
  const std::optional<long> from = state_->frequency() ? state_->frequency() : radio::parseKhz(entry_->text());
  const std::optional<long> tenHz = radio::khzToTenHz((from ? *from / 100.0 : 0.0) + deltaKhz);
  if (from && tenHz)
    tune(*tenHz, focus);
  else
    refuse(tr("Up and Down step from the radio's frequency, and none is known yet."), focus);
  directionLabel_->setText(caption);
  panel_->focusKeys(focus);
}

void Tuning::wheelDigit(int digit, int angle) {
  // kHz of one unit of each digit, 10 MHz first.
  static constexpr double kPlaceKhz[7] = {10000, 1000, 100, 10, 1, 0.1, 0.01};
  wheelAngle_ += angle;
  const int notches = wheelAngle_ / QWheelEvent::DefaultDeltasPerStep;
  wheelAngle_ -= notches * QWheelEvent::DefaultDeltasPerStep;
  if (notches > 0)
    step(notches * kPlaceKhz[digit], kUp, QStringLiteral("UP"));
  else if (notches < 0)
    step(notches * kPlaceKhz[digit], kDown, QStringLiteral("DOWN"));
}

void Tuning::entryFromLowLimit() {
  const QString low = lowLimit_->text();
  const std::optional<long> tenHz = radio::parseKhz(low);
  entry_->setText(tenHz ? radio::khzText(*tenHz) : low);
  lastTuned_ = entry_->text();
}

void Tuning::setLowLimit(const QString &text) {
  lowLimit_->setText(text);
  entry_->setText(text);
}

void Tuning::showPickList(QLineEdit *target) {
  pickList_->clear();
  const QStringList lines = radio::limitPickList(lowLimit_->text());
  if (lines.isEmpty()) {
    if (target == lowLimit_)
      setLowLimit(entry_->text());
    else
      target->setText(entry_->text());
    return;
  }
  pickList_->addItems(lines);
  pickList_->move(387, 81);
  pickList_->show();
  pickList_->raise();
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
  } else {
    return false;
  }
  return true;
}

void Tuning::tuneTo(const QString &khzText, Panel::FocusFrom focus) {
  entry_->setText(khzText);
  freqGo(focus);
}

QString Tuning::entryText() const { return entry_->text(); }

void Tuning::setEntryText(const QString &text) { entry_->setText(text); }

double Tuning::stepKhz() const { return leadingNumber(stepBox_->text()); }

QString Tuning::lowLimitText() const { return lowLimit_->text(); }

QString Tuning::highLimitText() const { return highLimit_->text(); }

void Tuning::setScanLimits(const QString &low, const QString &high) {
  lowLimit_->setText(low);
  highLimit_->setText(high);
}

void Tuning::showDirection() { directionLabel_->show(); }

bool Tuning::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::MouseButtonDblClick && (watched == lowLimit_ || watched == highLimit_)) {
    showPickList(static_cast<QLineEdit *>(watched));
    return true;
  }
  if (watched == entry_ && event->type() == QEvent::MouseButtonRelease) {
    QTimer::singleShot(0, entry_, &QLineEdit::selectAll);
  }
  return false;
}
