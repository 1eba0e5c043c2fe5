#include "app/tables/standardstab.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/mainwindow.h"
#include "app/tables/stamps.h"
#include "app/tables/widgets.h"

namespace tables {

const Column StandardsTab::kColumns[8] = {
    {"Date Time", 10, "DATETIMES"},   {"Frequency", 1000, "FRQS", true}, {"Mode", 1000, "MODES"},
    {"Net", 10, "NETS"},              {"Sort", 10, "DATESORTS"},         {"Notes", 6000, "NOTESS"},
    {"Scn", 10, "DATTIMFRQS"},        {"Key", 10, "UNIKEYS"},
};

namespace {

const TableLayout kLayout = {TableId::Standards, StandardsTab::kColumns, "NOTESS", StandardsTab::kKeyColumn, 5,
                             SortMode::Numeric, kStandardKeyPattern, "Error writing to Log file",
                             "Error Deleting Record", false};

// "RTTY " keeps its blank so that it does not match "RTTYM".
const char *const kFilters[] = {"All", "", "Contestia", "CW", "DominoEx", "Hell", "MFSK",
                                "Olivia", "PSK", "RTTY ", "RTTYM", "SSTV", "Throb"};

}  // namespace

StandardsTab::StandardsTab(QWidget *page, Database *db, Dialogs *dialogs, MainWindow *window) {
  OnlyShows = filterBox(page, "OnlyShows", kFilters);
  ButtonPlus3 = place<QPushButton>(page, "ButtonPlus3", 122, 4, 110, 22, "Add 2 Standards");
  ButtonPlus3->setToolTip(tr("Start a digital-mode standard at the radio's frequency"));
  Command1 = place<QPushButton>(page, "Command1", 238, 4, 60, 22, "Load");
  Command1->setToolTip(tr("Load digital-mode standards from a comma-separated file"));
  Grid3 = place<Grid>(page, "Grid3", 4, 30, 560, 190);
  Grid3->setColumns(kColumns);

  Frame1 = place<QGroupBox>(page, "Frame1", 4, 224, 560, 106, " Digital Standards Entry ");
  Frame1->hide();
  SFreq = boundBox(Frame1, "SFreq", "FRQS", 8, 30, 70);
  SMode = boundBox(Frame1, "SMode", "MODES", 82, 30, 100);
  SNotes = boundBox(Frame1, "SNotes", "NOTESS", 186, 30, 360);
  SNotes->setMaxLength(100);
  SFreq->setToolTip(tr("Frequency, kHz"));
  SMode->setToolTip(tr("Mode"));
  form::captionAbove(SFreq, tr("kHz"));
  form::captionAbove(SMode, tr("Mode"));
  place<QLabel>(Frame1, "SNotesLabel", 186, 52, 200, 18, "Double Click to clear notes")->setBuddy(SNotes);
  UNIKEYS = boundBox(Frame1, "UNIKEYS", "UNIKEYS", 0, 0, 10);
  DateTimes = boundBox(Frame1, "DateTimes", "DATETIMES", 0, 0, 10);
  Text8 = boundBox(Frame1, "Text8", "DATESORTS", 0, 0, 10);
  for (QLineEdit *hidden : {UNIKEYS, DateTimes, Text8}) hidden->hide();
  ButtonPlus5 = place<QPushButton>(Frame1, "ButtonPlus5", 8, 76, 70, 22, "Save");
  ButtonPlus5->setToolTip(tr("Save the standard"));
  ButtonPlus6 = place<QPushButton>(Frame1, "ButtonPlus6", 84, 76, 70, 22, "Cancel");
  ButtonPlus6->setToolTip(tr("Close the standard without saving"));
  ButtonPlus7 = place<QPushButton>(Frame1, "ButtonPlus7", 160, 76, 70, 22, "Delete");
  ButtonPlus7->setToolTip(tr("Delete the standard"));

  table_ = std::make_unique<EntryTable>(kLayout, db, dialogs, window,
                                        EntryControls{Grid3, OnlyShows, Frame1, UNIKEYS});
  import_ = std::make_unique<StandardsImport>(
      table_.get(), dialogs, window, StandardsImport::Boxes{SNotes, SFreq, SMode, DateTimes, UNIKEYS});
  connect(ButtonPlus3, &QPushButton::clicked, this, &StandardsTab::newEntry);
  connect(Command1, &QPushButton::clicked, this, [this] { import_->run(); });
  connect(ButtonPlus5, &QPushButton::clicked, this, [this] { table_->save(); });
  connect(ButtonPlus6, &QPushButton::clicked, Frame1, &QWidget::hide);
  connect(ButtonPlus7, &QPushButton::clicked, this, [this] { table_->remove(); });
  connect(OnlyShows, &QComboBox::activated, this, [this] { table_->display(); });
  connect(Grid3, &Grid::cellClicked, this, [this](int row, int column) {
    if (column == kFrequencyColumn) table_->tuneTo(row, column);
  });
  connect(Grid3, &Grid::cellDoubleClicked, this, [this](int row, int column) {
    if (column == kModeColumn) table_->open(row);
  });
}

void StandardsTab::newEntry() {
  for (QLineEdit *box : {SFreq, SMode, SNotes, UNIKEYS, DateTimes, Text8}) box->clear();
  Frame1->show();
  SFreq->setFocus();
}

}  // namespace tables
