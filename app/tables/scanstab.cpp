#include "app/tables/scanstab.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/mainwindow.h"
#include "app/panel.h"
#include "app/radio/frequency.h"
#include "app/tables/stamps.h"
#include "app/tables/widgets.h"
#include "app/tuning.h"

namespace tables {

const Column ScansTab::kColumns[5] = {
    {"Low", 1000, "LOFRQ"},          {"Hi", 1000, "HIFRQ"},         {"Date Time", 1200, "SCANDATE"},
    {"UniKey", 10, "SCANUNIKEY"},    {"Notes", 2800, "SCANNOTES"},
};

namespace {

const TableLayout kLayout = {TableId::Scans, ScansTab::kColumns, "SCANNOTES", ScansTab::kKeyColumn, 4,
                             SortMode::TextNoCase, kUniqueKeyPattern, "Error writing to Scan file",
                             "Error Deleting Scan", true};

const char *const kFilters[] = {"All", "Air", "Amateur", "Marine", "Broadcast"};

// The limit-box text of a cell: its number in the picture "00000.00" (the
// cell as it is when the number is no frequency).
QString limitText(const QString &cell) {
  const std::optional<long> tenHz = radio::khzToTenHz(radio::leadingNumber(cell));
  return tenHz ? radio::khzText(*tenHz) : cell;
}

}  // namespace

ScansTab::ScansTab(QWidget *page, Database *db, Dialogs *dialogs, MainWindow *window)
    : panel_(window->panel()), tuning_(window->tuning()) {
  OnlyScan = filterBox(page, "OnlyScan", kFilters);
  place<QLabel>(page, "SortByLabel2", 122, 4, 44, 22, "Sort By");
  Combo2 = place<QComboBox>(page, "Combo2", 168, 4, 100, 22);
  Combo2->addItems(headings(kColumns));
  AddScan = place<QPushButton>(page, "AddScan", 280, 4, 70, 22, "Add");
  AddScan->setToolTip(tr("Start a scan range from the scan limits"));
  Grid2 = place<Grid>(page, "Grid2", 4, 30, 420, 188);
  Grid2->setColumns(kColumns);

  ScanFram = place<QGroupBox>(page, "ScanFram", 4, 222, 420, 118, " Log Entry ");
  ScanFram->hide();
  FrqLo = boundBox(ScanFram, "FrqLo", "LOFRQ", 8, 30, 70);
  FrqHi = boundBox(ScanFram, "FrqHi", "HIFRQ", 82, 30, 70);
  ScanDate = boundBox(ScanFram, "ScanDate", "SCANDATE", 156, 30, 70);
  ScanUniKey = boundBox(ScanFram, "ScanUniKey", "SCANUNIKEY", 230, 30, 110);
  ScanUniKey->setReadOnly(true);
  FrqLo->setToolTip(tr("Low limit, kHz"));
  FrqHi->setToolTip(tr("High limit, kHz"));
  ScanDate->setToolTip(tr("Date of the entry"));
  ScanUniKey->setToolTip(tr("Unique key of the entry; empty for a new one"));
  ScanNotes = boundBox(ScanFram, "ScanNotes", "SCANNOTES", 8, 64, 322);
  ScanNotes->setMaxLength(30);
  const std::pair<QLineEdit *, QString> captions[] = {{FrqLo, tr("From, kHz")}, {FrqHi, tr("To, kHz")},
                                                      {ScanDate, tr("Date")},    {ScanUniKey, tr("Key")},
                                                      {ScanNotes, tr("Notes")}};
  for (const auto &[box, text] : captions) form::captionAbove(box, text);
  ScanToFile = place<QPushButton>(ScanFram, "ScanToFile", 8, 90, 70, 22, "Save");
  ScanToFile->setToolTip(tr("Save the scan range"));
  CancelScan = place<QPushButton>(ScanFram, "CancelScan", 84, 90, 70, 22, "Cancel");
  CancelScan->setToolTip(tr("Close the scan range without saving"));
  DelScan = place<QPushButton>(ScanFram, "DelScan", 160, 90, 70, 22, "Delete");
  DelScan->setToolTip(tr("Delete the scan range"));

  table_ = std::make_unique<EntryTable>(kLayout, db, dialogs, window,
                                        EntryControls{Grid2, OnlyScan, ScanFram, ScanUniKey});
  connect(AddScan, &QPushButton::clicked, this, &ScansTab::newEntry);
  connect(ScanToFile, &QPushButton::clicked, this, [this] { table_->save(); });
  connect(CancelScan, &QPushButton::clicked, this, [this] {
    ScanFram->hide();
    panel_->focusKeys();
  });
  connect(DelScan, &QPushButton::clicked, this, [this] { table_->remove(); });
  connect(OnlyScan, &QComboBox::activated, this, [this] { table_->display(); });
  connect(Combo2, &QComboBox::activated, this, [this](int column) { table_->sortBy(column); });
  connect(Grid2, &Grid::cellClicked, this, [this](int row, int column) {
    if (column == kLowColumn || column == kHighColumn) loadRange(row);
  });
  connect(Grid2, &Grid::cellDoubleClicked, this, [this](int row, int column) {
    if (column == kDateColumn) table_->open(row);
  });
}

void ScansTab::newEntry() {
  FrqLo->setText(tuning_->lowLimitText());
  FrqHi->setText(tuning_->highLimitText());
  ScanDate->setText(stampNow(QLatin1String(kScanDatePattern)));
  ScanUniKey->clear();
  ScanFram->show();
}

void ScansTab::loadRange(int row) {
  tuning_->setScanLimits(limitText(Grid2->text(row, kLowColumn)), limitText(Grid2->text(row, kHighColumn)));
  Grid2->setCurrentCell(row, kHighColumn);
  QCoreApplication::processEvents();
  panel_->focusKeys();
}

}  // namespace tables
