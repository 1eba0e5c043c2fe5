// Scanner: the two timer-driven scans of the panel and their controls. The
// range scan ("Scan" and Enter on the key box) steps the tuning entry by its
// step between the scan limits and turns once the frequency the transceiver
// reported is beyond a limit. The selected-entries scan ("Scan Selected")
// tunes, one per tick, to the log entries marked "X" in the log grid's "Scn"
// column. Both dwell Scan_Delay tenths of a second a step and read the
// panel anew every tick; ScanState says which run.
#ifndef TESSALY_APP_RADIO_SCANNER_H
#define TESSALY_APP_RADIO_SCANNER_H

#include <QObject>
#include <QTimer>
#include <array>

class Panel;
class QLabel;
class QLineEdit;
class QPushButton;
class Tuning;

namespace radio {
class RadioState;
}

namespace tables {
class Grid;
}

class Scanner : public QObject {
  Q_OBJECT
public:
  static constexpr int kMarkColumn = 6;
  static constexpr int kFrequencyColumn = 1;

  // Places the scan controls on `panel`. The pointers must outlive the
  // scanner.
  Scanner(Panel *panel, Tuning *tuning, const radio::RadioState *state, QObject *parent = nullptr);

  // The log grid whose marked rows the selected-entries scan visits, and the
  // button that starts and stops that scan; both must outlive the scanner.
  void setLogGrid(tables::Grid *grid, QPushButton *scanSelected);

  // "Scan": stops a running range scan, or starts one (from the low limit
  // going up when the entry holds no number).
  void toggleRangeScan();
  // "Scan Selected": stops or starts the selected-entries scan.
  void toggleSelectedScan();
  // Stops the range scan.
  void stopRangeScan();

  // One step of each scan, as a tick of its timer runs it.
  void rangeTick();
  void selectedTick();

  // The last log grid row (1 = first data row) the selected-entries scan
  // visited; 0 before the first.
  int selectedScanRow() const { return selectedScanRow_; }

  // Whether each scan runs.
  bool rangeScanRunning() const { return rangeTimer_.isActive(); }
  bool selectedScanRunning() const { return selectedTimer_.isActive(); }

  // While the radio state says the transceiver cannot be reached (the port
  // is closed, or it does not answer) the scans stay on but their ticks tune
  // nowhere, so they go on where they were once it answers again.
  bool paused() const;

signals:
  // A scan started or stopped.
  void scanStateChanged();

private:
  // The dwell in Scan_Delay, raised to 1 (and written back) when below 1,
  // as a timer interval in ms.
  int dwellMs();
  void showScanState();

  Panel *panel_;
  Tuning *tuning_;
  const radio::RadioState *state_;
  tables::Grid *grid_ = nullptr;
  QPushButton *scanButton_;
  QLineEdit *dwellBox_;
  std::array<QPushButton *, 6> dwellChoices_{};
  QLabel *scanStateLabel_;
  // Their objectNames are those of the form's timers.
  QTimer rangeTimer_{this}, selectedTimer_{this};
  int selectedScanRow_ = 0;
};

#endif
