// Scanner: the two timer-driven scans of the panel. The range scan (Timer2,
// "Scan" and Enter on KBD) steps NewFrq by JumpStep between LoFrq and HiFrq
// and turns once the frequency the transceiver reported is beyond a limit.
// The selected-entries scan (Timer4, "Scan Selected") tunes, one per tick,
// to the log entries marked "X" in the log grid's "Scn" column. Both dwell
// Scan_Delay tenths of a second a step and read the panel anew every tick.
#ifndef TESSALY_APP_RADIO_SCANNER_H
#define TESSALY_APP_RADIO_SCANNER_H

#include <QObject>

class Panel;
class QPushButton;
class Tuning;

namespace tables {
class Grid;
}

class Scanner : public QObject {
  Q_OBJECT
public:
  static constexpr int kMarkColumn = 6;
  static constexpr int kFrequencyColumn = 1;

  // `panel` and `tuning` must outlive the scanner.
  Scanner(Panel *panel, Tuning *tuning, QObject *parent = nullptr);

  // The log grid whose marked rows the selected-entries scan visits, and the
  // button that starts and stops that scan; both must outlive the scanner.
  void setLogGrid(tables::Grid *grid, QPushButton *scanSelected);

  // "Scan": stops a running range scan, or starts one (from LoFrq going up
  // when NewFrq holds no number).
  void toggleRangeScan();
  // "Scan Selected": stops or starts the selected-entries scan.
  void toggleSelectedScan();

  // One step of each scan, as a tick of its timer runs it.
  void rangeTick();
  void selectedTick();

  // The last log grid row (1 = first data row) the selected-entries scan
  // visited; 0 before the first.
  int selectedScanRow() const { return selectedScanRow_; }

  // Whether each scan runs.
  bool rangeScanRunning() const;
  bool selectedScanRunning() const;

  // While the transceiver cannot be reached the scans stay on but their
  // ticks tune nowhere, so they go on where they were once it answers again.
  void setPaused(bool paused);
  bool paused() const { return paused_; }

signals:
  // A scan started or stopped; ScanState shows which run.
  void scanStateChanged();

private:
  // The dwell in Scan_Delay, raised to 1 (and written back) when below 1,
  // as a timer interval in ms.
  int dwellMs();
  void showScanState();

  Panel *panel_;
  Tuning *tuning_;
  tables::Grid *grid_ = nullptr;
  int selectedScanRow_ = 0;
  bool paused_ = false;
};

#endif
