#include "app/radio/scanner.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/panel.h"
#include "app/radio/frequency.h"
#include "app/tables/grid.h"
#include "app/tuning.h"

using radio::leadingNumber;

namespace {

constexpr char kMark[] = "X";

}  // namespace

Scanner::Scanner(Panel *panel, Tuning *tuning, QObject *parent) : QObject(parent), panel_(panel), tuning_(tuning) {
  connect(panel_->ButtonPlus1, &QPushButton::clicked, this, &Scanner::toggleRangeScan);
  connect(panel_->Timer2, &QTimer::timeout, this, &Scanner::rangeTick);
  connect(panel_->Timer4, &QTimer::timeout, this, &Scanner::selectedTick);
  for (QPushButton *b : panel_->Scan_Delay2)
    connect(b, &QPushButton::clicked, this, [this, b] {
      panel_->Scan_Delay->setText(radio::plainNumberText(b->text()));
      panel_->focusKeys();
    });
  showScanState();
}

void Scanner::setLogGrid(tables::Grid *grid, QPushButton *scanSelected) {
  grid_ = grid;
  connect(scanSelected, &QPushButton::clicked, this, &Scanner::toggleSelectedScan);
}

void Scanner::toggleRangeScan() {
  if (panel_->Timer2->isActive()) {
    panel_->Timer2->stop();
  } else {
    panel_->Timer2->start();
    panel_->ScanDir->show();
    if (leadingNumber(panel_->NewFrq->text()) == 0) {
      panel_->NewFrq->setText(panel_->LoFrq->text());
      tuning_->setScanDirection(Tuning::kUp);
    }
  }
  showScanState();
  panel_->focusKeys();
}

void Scanner::toggleSelectedScan() {
  if (panel_->Timer4->isActive())
    panel_->Timer4->stop();
  else
    panel_->Timer4->start();
  showScanState();
  panel_->focusKeys();
}

bool Scanner::rangeScanRunning() const { return panel_->Timer2->isActive(); }

bool Scanner::selectedScanRunning() const { return panel_->Timer4->isActive(); }

void Scanner::setPaused(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  showScanState();
}

void Scanner::showScanState() {
  QStringList running;
  if (rangeScanRunning()) running << tr("Scan");
  if (selectedScanRunning()) running << tr("Scan Selected");
  const QString how = paused_ ? tr(" paused") : tr(" running");
  panel_->ScanState->setText(running.isEmpty() ? tr("No scan running") : running.join(tr(" and ")) + how);
  emit scanStateChanged();
}

int Scanner::dwellMs() {
  double tenths = leadingNumber(panel_->Scan_Delay->text());
  if (tenths < 1) {
    panel_->Scan_Delay->setText(QStringLiteral("1"));
    tenths = 1;
  }
  return static_cast<int>(tenths * 100);
}

void Scanner::rangeTick() {
  panel_->Timer2->setInterval(dwellMs());
  if (paused_) return;
  QString shown;
  for (int i = 0; i < 7; ++i) {
    if (i == 5) shown += QLatin1Char('.');
    shown += panel_->D1[i]->text();
  }
  const double displayed = leadingNumber(shown);
  const double step = leadingNumber(panel_->JumpStep->text());
  // A tick is no action of the operator's: it leaves the focus where they type.
  if (tuning_->scanDirection() == Tuning::kUp)
    tuning_->step(step, Tuning::kUp, QStringLiteral("UP"), Panel::FocusFrom::Background);
  else
    tuning_->step(-step, Tuning::kDown, QStringLiteral("DOWN"), Panel::FocusFrom::Background);
  if (leadingNumber(panel_->HiFrq->text()) < displayed) tuning_->setScanDirection(Tuning::kDown);
  if (leadingNumber(panel_->LoFrq->text()) > displayed) tuning_->setScanDirection(Tuning::kUp);
  QCoreApplication::processEvents();
}

void Scanner::selectedTick() {
  panel_->Timer4->setInterval(dwellMs());
  if (paused_ || !grid_) return;
  // Grid row r is Qt row r - 1. Every row is looked at once at most, so a
  // grid without marks ends the tick without tuning.
  const int rows = grid_->rowCount();
  for (int tries = 0; tries < rows; ++tries) {
    ++selectedScanRow_;
    if (selectedScanRow_ > rows) selectedScanRow_ = 1;
    grid_->setCurrentCell(selectedScanRow_ - 1, kMarkColumn);
    if (grid_->text(selectedScanRow_ - 1, kMarkColumn) == QLatin1String(kMark)) {
      grid_->setCurrentCell(selectedScanRow_ - 1, kFrequencyColumn);
      panel_->NewFrq->setText(grid_->text(selectedScanRow_ - 1, kFrequencyColumn));
      tuning_->freqGo(Panel::FocusFrom::Background);
      return;
    }
  }
}
