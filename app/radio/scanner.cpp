#include "app/radio/scanner.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/form.h"
#include "app/panel.h"
#include "app/radio/frequency.h"
#include "app/radio/radiostate.h"
#include "app/tables/grid.h"
#include "app/tuning.h"

using form::place;
using radio::leadingNumber;

namespace {

constexpr char kMark[] = "X";

}  // namespace

Scanner::Scanner(Panel *panel, Tuning *tuning, const radio::RadioState *state, QObject *parent)
    : QObject(parent), panel_(panel), tuning_(tuning), state_(state) {
  scanButton_ = place<QPushButton>(panel_, "ButtonPlus1", 490, panel_row::kScanLimits, 40, 20, "Scan");
  scanButton_->setToolTip(tr("Start or stop the range scan between the limits (also Enter)"));
  dwellBox_ = place<QLineEdit>(panel_, "Scan_Delay", 468, panel_row::kMute, 28, 20, "5");
  dwellBox_->setToolTip(tr("Dwell of each scan step, tenths of a second"));
  form::captionLeft(dwellBox_, tr("Dwell, 0.1 s"), 56);
  static const char *const kDelays[6] = {"3", "5", "8", "10", "20", "30"};
  for (int i = 0; i < 6; ++i) {
    dwellChoices_[i] =
        place<QPushButton>(panel_, form::indexed("Scan_Delay2", i), 500 + 23 * i, panel_row::kMute, 22, 20, kDelays[i]);
    dwellChoices_[i]->setToolTip(tr("Dwell of %1 tenths of a second").arg(QLatin1String(kDelays[i])));
  }
  scanStateLabel_ = place<QLabel>(panel_, "ScanState", 210, panel_row::kStatus, 200, 18);
  scanStateLabel_->setToolTip(tr("Scans that are running"));
  rangeTimer_.setObjectName("Timer2");
  rangeTimer_.setInterval(2000);
  selectedTimer_.setObjectName("Timer4");
  selectedTimer_.setInterval(100);

  connect(scanButton_, &QPushButton::clicked, this, &Scanner::toggleRangeScan);
  connect(&rangeTimer_, &QTimer::timeout, this, &Scanner::rangeTick);
  connect(&selectedTimer_, &QTimer::timeout, this, &Scanner::selectedTick);
  for (QPushButton *b : dwellChoices_)
    connect(b, &QPushButton::clicked, this, [this, b] {
      dwellBox_->setText(radio::plainNumberText(b->text()));
      panel_->focusKeys();
    });
  connect(state_, &radio::RadioState::linkChanged, this, &Scanner::showScanState);
  showScanState();
}

void Scanner::setLogGrid(tables::Grid *grid, QPushButton *scanSelected) {
  grid_ = grid;
  connect(scanSelected, &QPushButton::clicked, this, &Scanner::toggleSelectedScan);
}

void Scanner::toggleRangeScan() {
  if (rangeTimer_.isActive()) {
    rangeTimer_.stop();
  } else {
    rangeTimer_.start();
    tuning_->showDirection();
    if (leadingNumber(tuning_->entryText()) == 0) {
      tuning_->setEntryText(tuning_->lowLimitText());
      tuning_->setScanDirection(Tuning::kUp);
    }
  }
  showScanState();
  panel_->focusKeys();
}

void Scanner::toggleSelectedScan() {
  if (selectedTimer_.isActive())
    selectedTimer_.stop();
  else
    selectedTimer_.start();
  showScanState();
  panel_->focusKeys();
}

void Scanner::stopRangeScan() {
  rangeTimer_.stop();
  showScanState();
}

bool Scanner::paused() const { return !state_->reachable(); }

void Scanner::showScanState() {
  QStringList running;
  if (rangeScanRunning()) running << tr("Scan");
  if (selectedScanRunning()) running << tr("Scan Selected");
  const QString how = paused() ? tr(" paused") : tr(" running");
  scanStateLabel_->setText(running.isEmpty() ? tr("No scan running") : running.join(tr(" and ")) + how);
  emit scanStateChanged();
}

int Scanner::dwellMs() {
  double tenths = leadingNumber(dwellBox_->text());
  if (tenths < 1) {
    dwellBox_->setText(QStringLiteral("1"));
    tenths = 1;
  }
  return static_cast<int>(tenths * 100);
}

void Scanner::rangeTick() {
  rangeTimer_.setInterval(dwellMs());
  if (paused()) return;
  // The frequency the transceiver last reported, kHz (0 before the first).
  const double displayed = state_->frequency() ? *state_->frequency() / 100.0 : 0.0;
  const double step = tuning_->stepKhz();
  // A tick is no action of the operator's: it leaves the focus where they type.
  if (tuning_->scanDirection() == Tuning::kUp)
    tuning_->step(step, Tuning::kUp, QStringLiteral("UP"), Panel::FocusFrom::Background);
  else
    tuning_->step(-step, Tuning::kDown, QStringLiteral("DOWN"), Panel::FocusFrom::Background);
  if (leadingNumber(tuning_->highLimitText()) < displayed) tuning_->setScanDirection(Tuning::kDown);
  if (leadingNumber(tuning_->lowLimitText()) > displayed) tuning_->setScanDirection(Tuning::kUp);
  QCoreApplication::processEvents();
}

void Scanner::selectedTick() {
  selectedTimer_.setInterval(dwellMs());
  if (paused() || !grid_) return;
  // Grid row r is Qt row r - 1. Every row is looked at once at most, so a
  // grid without marks ends the tick without tuning.
  const int rows = grid_->rowCount();
  for (int tries = 0; tries < rows; ++tries) {
    ++selectedScanRow_;
    if (selectedScanRow_ > rows) selectedScanRow_ = 1;
    grid_->setCurrentCell(selectedScanRow_ - 1, kMarkColumn);
    if (grid_->text(selectedScanRow_ - 1, kMarkColumn) == QLatin1String(kMark)) {
      grid_->setCurrentCell(selectedScanRow_ - 1, kFrequencyColumn);
      tuning_->tuneTo(grid_->text(selectedScanRow_ - 1, kFrequencyColumn), Panel::FocusFrom::Background);
      return;
    }
  }
}
