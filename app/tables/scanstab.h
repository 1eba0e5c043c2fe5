// ScansTab: the "Scan Banks" tab, the saved scan ranges of "Scans.Dat".
// Grid2 lists them in the order of their notes; a click on "Low" or "Hi"
// loads the row's range into the scanner's limit boxes, a double-click on
// "Date Time" opens the entry in ScanFram. "Add" starts an entry from the
// scanner's current limits.
#ifndef TESSALY_APP_TABLES_SCANSTAB_H
#define TESSALY_APP_TABLES_SCANSTAB_H

#include <QObject>
#include <memory>

#include "app/tables/entrytable.h"

class Panel;
class Tuning;
class QGroupBox;
class QPushButton;

namespace tables {

class ScansTab : public QObject {
  Q_OBJECT
public:
  static constexpr int kLowColumn = 0, kHighColumn = 1, kDateColumn = 2, kKeyColumn = 3;
  static const Column kColumns[5];

  // Builds the tab's controls on `page`; the other pointers must outlive it.
  ScansTab(QWidget *page, Database *db, Dialogs *dialogs, MainWindow *window);

  EntryTable &table() { return *table_; }

  Grid *Grid2;
  QComboBox *OnlyScan, *Combo2;
  QPushButton *AddScan;
  QGroupBox *ScanFram;
  QLineEdit *FrqLo, *FrqHi, *ScanDate, *ScanNotes, *ScanUniKey;
  QPushButton *ScanToFile, *CancelScan, *DelScan;

  // "Add": a new entry from the scanner's limits.
  void newEntry();

private:
  void loadRange(int row);

  Panel *panel_;
  Tuning *tuning_;
  std::unique_ptr<EntryTable> table_;
};

}  // namespace tables

#endif
