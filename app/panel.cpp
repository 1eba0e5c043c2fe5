#include "app/panel.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWheelEvent>

#include "app/form.h"
#include "app/radio/radiostate.h"

using form::place;

namespace {

// The controls of the panel in the order of the form, which is the order
// the Tab key visits them.
const char *const kFormOrder[] = {
    "NewFrq",  "FreqGo",   "FreqUp",   "FreqDwn",    "JumpStep",    "StepSz_0",  "StepSz_1",  "StepSz_2",
    "StepSz_3", "LoFrq",   "LoSet",    "HiFrq",      "HiSet",       "ButtonPlus1", "Meter10", "Meter11",
    "Meter12", "Meter15",  "Meter17",  "Meter20",    "Meter40",     "Meter80",   "Meter180",  "GenBut",
    "HamBut",  "But_LSB",  "But_USB",  "But_CWW",    "But_CWN",     "But_AMW",   "But_AMN",   "But_FSK",
    "But_FM",  "Slider1",  "Slider2",  "VolumeControl", "TXTVolumeControl", "BalanceControl", "TXTVol",
    "MuteOff", "MuteOn",   "Scan_Delay", "Scan_Delay2_0", "Scan_Delay2_1", "Scan_Delay2_2", "Scan_Delay2_3",
    "Scan_Delay2_4", "Scan_Delay2_5", "Text1", "Text4", "BufLen", "InLen", "PortNum", "But_Power", "BreakBut",
    "JustControl", "LogsScans", "Close_But", "PollBox", "UtcBox", "List1", "KBD"};

}  // namespace

Panel::Panel(QWidget *parent) : QWidget(parent) {
  setObjectName("Panel");
  QFont small = font();
  small.setPointSize(8);
  setFont(small);

  // The frequency display: D1_1 D1_2 . D1_3 D1_4 D1_5 . D1_6 D1_7.
  QFont big = font();
  big.setPointSize(18);
  big.setBold(true);
  QPalette display;
  display.setColor(QPalette::Base, Qt::black);
  display.setColor(QPalette::Text, QColor(128, 255, 255));
  static const int kDigitX[7] = {4, 28, 62, 86, 110, 144, 168};
  auto displayBox = [&](const QString &name, int x, int w, const QString &text) {
    QLineEdit *box = place<QLineEdit>(this, name, x, panel_row::kTune, w, 36, text);
    box->setFont(big);
    box->setPalette(display);
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignCenter);
    box->setFocusPolicy(Qt::NoFocus);
    box->setFrame(false);
    return box;
  };
  static const char *const kPlaces[7] = {"10 MHz", "1 MHz", "100 kHz", "10 kHz", "1 kHz", "100 Hz", "10 Hz"};
  for (int i = 0; i < 7; ++i) {
    digits_[i] = displayBox(form::indexed("D1", i + 1), kDigitX[i], 24, {});
    digits_[i]->setToolTip(tr("%1 digit of the frequency; the mouse wheel over it tunes in steps of %1")
                               .arg(QLatin1String(kPlaces[i])));
    digits_[i]->installEventFilter(this);
  }
  displayBox("Dot1", 52, 10, ".");
  displayBox("Dot2", 134, 10, ".");

  modeLabel_ = place<QLabel>(this, "ModeL", 196, panel_row::kTune, 52, 17);
  coverageLabel_ = place<QLabel>(this, "HGA", 196, panel_row::kTune + 19, 52, 17);
  for (QLabel *l : {modeLabel_, coverageLabel_}) l->setFrameShape(QFrame::Box);
  modeLabel_->setToolTip(tr("Mode the transceiver reports"));
  coverageLabel_->setToolTip(tr("Coverage the transceiver reports: general (GEN) or amateur (HAM)"));

  // Two lines above the buttons, so that a message with its way forward is
  // read whole; the tooltip holds it too.
  statusLine_ = place<QLabel>(this, "StatusLine", 290, panel_row::kPort - 5, 346, 31);
  statusLine_->setWordWrap(true);
  statusLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  utcBox_ = place<QCheckBox>(this, "UtcBox", 518, panel_row::kCommands, 56, 26, "UTC");
  utcBox_->setToolTip(tr("Stamp dates and keys of new table entries from the UTC clock"));
  connect(utcBox_, &QCheckBox::toggled, this, &Panel::utcStampsToggled);
  linkLabel_ = place<QLabel>(this, "LinkState", 4, panel_row::kStatus, 200, 18);
  linkLabel_->setToolTip(tr("Whether the transceiver answers"));
  networkClients_ = place<QLabel>(this, "NetClients", 416, panel_row::kStatus, 118, 18);

  keyBox_ = place<QLineEdit>(this, "KBD", 632, panel_row::kStatus + 18, 4, 4);
  keyBox_->setFrame(false);
  keyBox_->setToolTip(tr("Keys of the panel: 6/4 or Right/Left tune 0.1 kHz, 8/2 or Up/Down 1 kHz, Enter scans, "
                         "* connects, / pauses, Backspace mutes"));
  keyBox_->installEventFilter(this);
}

void Panel::follow(const radio::RadioState *state) {
  state_ = state;
  connect(state_, &radio::RadioState::changed, this, &Panel::showState);
  showState();
}

void Panel::showState() {
  // Before the first report the display stays blank; afterwards a value the
  // last reply did not carry stays as it was.
  if (!state_->frequencyText().isEmpty())
    for (int i = 0; i < 7; ++i) digits_[i]->setText(QString(state_->digits()[i]));
  if (state_->mode()) modeLabel_->setText(*state_->mode());
  if (state_->coverage()) coverageLabel_->setText(*state_->coverage());
  linkLabel_->setText(radio::RadioState::linkText(state_->link()));
}

void Panel::showStatus(const QString &text) {
  statusLine_->setText(text);
  statusLine_->setToolTip(text);
}

void Panel::showNetworkClients(int count, const QString &trouble) {
  networkClients_->setText(trouble.isEmpty() ? tr("Network clients: %1").arg(count) : trouble);
}

void Panel::describeNetworkClients(const QString &where) { networkClients_->setToolTip(where); }

bool Panel::utcStamps() const { return utcBox_->isChecked(); }

void Panel::setUtcStamps(bool on) { utcBox_->setChecked(on); }

void Panel::focusKeys(FocusFrom from) {
  if (from == FocusFrom::Background && operatorIsTyping()) return;
  keyBox_->setFocus(Qt::OtherFocusReason);
}

bool Panel::operatorIsTyping() const {
  if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return true;
  const QWidget *active = QApplication::activeWindow();
  if (active && active != window()) return true;  // a dialog or another window
  const QWidget *focus = window()->focusWidget();
  if (!focus || focus == keyBox_) return false;
  if (const auto *edit = qobject_cast<const QLineEdit *>(focus)) return !edit->isReadOnly();
  if (const auto *combo = qobject_cast<const QComboBox *>(focus)) return combo->isEditable();
  if (const auto *text = qobject_cast<const QPlainTextEdit *>(focus)) return !text->isReadOnly();
  if (const auto *text = qobject_cast<const QTextEdit *>(focus)) return !text->isReadOnly();
  return qobject_cast<const QAbstractSpinBox *>(focus) != nullptr;
}

void Panel::orderTabsAsOnTheForm() {
  QWidget *previous = nullptr;
  for (const char *name : kFormOrder) {
    QWidget *next = findChild<QWidget *>(QLatin1String(name));
    if (!next) continue;
    if (previous) setTabOrder(previous, next);
    previous = next;
  }
}

bool Panel::eventFilter(QObject *watched, QEvent *event) {
  if (watched == keyBox_ && event->type() == QEvent::KeyPress) {
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) return false;
    emit keyPressed(key->key(), key->text());
    keyBox_->clear();
    focusKeys();
    return true;  // the box only catches keys; it never keeps text
  }
  if (event->type() == QEvent::Wheel) {
    for (int digit = 0; digit < 7; ++digit) {
      if (watched == digits_[digit]) {
        emit digitWheeled(digit, static_cast<QWheelEvent *>(event)->angleDelta().y());
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}
