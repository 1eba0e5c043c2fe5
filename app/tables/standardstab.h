// StandardsTab: the "Digital Standards" tab, the digital-mode frequencies of
// "Standards.Dat". Grid3 lists them in the numeric order of their notes; a
// click on "Frequency" tunes there, a double-click on "Mode" opens the entry
// in Frame1. "Load" imports entries from a comma-separated file.
#ifndef TESSALY_APP_TABLES_STANDARDSTAB_H
#define TESSALY_APP_TABLES_STANDARDSTAB_H

#include <QObject>
#include <memory>

#include "app/tables/entrytable.h"
#include "app/tables/standardsimport.h"

class QGroupBox;
class QPushButton;

namespace tables {

class StandardsTab : public QObject {
  Q_OBJECT
public:
  static constexpr int kFrequencyColumn = 1, kModeColumn = 2, kKeyColumn = 7;
  static const Column kColumns[8];

  // Builds the tab's controls on `page`; the other pointers must outlive it.
  StandardsTab(QWidget *page, Database *db, Dialogs *dialogs, MainWindow *window);

  EntryTable &table() { return *table_; }
  StandardsImport &importer() { return *import_; }

  // "Add 2 Standards": an empty entry, so that Save adds one and replaces
  // none (the boxes may hold the entry last opened or imported).
  void newEntry();

  Grid *Grid3;
  QComboBox *OnlyShows;
  QPushButton *ButtonPlus3, *Command1;
  QGroupBox *Frame1;
  QLineEdit *SFreq, *SMode, *SNotes, *UNIKEYS, *DateTimes, *Text8;
  QPushButton *ButtonPlus5, *ButtonPlus6, *ButtonPlus7;

private:
  std::unique_ptr<EntryTable> table_;
  std::unique_ptr<StandardsImport> import_;
};

}  // namespace tables

#endif
