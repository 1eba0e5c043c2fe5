#include "app/tables/logtab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/mainwindow.h"
#include "app/radio/radiostate.h"
#include "app/radiocontrol.h"
#include "app/tables/adifmenu.h"
#include "app/tables/binding.h"
#include "app/tables/stamps.h"
#include "app/tables/widgets.h"

namespace tables {

const Column LogTab::kColumns[8] = {
    {"Date Time", 1500, "DATETIME"}, {"Frequency", 1000, "FRQ"}, {"Mode", 1000, "MODE"},
    {"Net", 600, "NET"},             {"Sort", 10, "DATESORT"},   {"Notes", 6000, "NOTES"},
    {"Scn", 300, "DATTIMFRQ"},       {"Key", 10, "UNIKEY"},
};

namespace {

constexpr char kMark[] = "X";

const TableLayout kLayout = {TableId::Log, LogTab::kColumns, "NOTES", LogTab::kKeyColumn, 4, SortMode::Numeric,
                             kUniqueKeyPattern, "Error writing to Log file", "Error Deleting Record", false};

const char *const kFilters[] = {"All", "", "PSK31", "RTTY", "SSTV", "Olivia", "Digital", "",
                                "Business", "Fax", "Coast Guard", "Gov", "Marine", "Weather", "Unknown"};

}  // namespace

LogTab::LogTab(QWidget *page, Database *db, LumbraLibrary *library, Dialogs *dialogs, MainWindow *window)
    : state_(&window->radio()->state()), words_(library) {
  OnlyShow = filterBox(page, "OnlyShow", kFilters);
  place<QLabel>(page, "SortByLabel", 118, 4, 44, 22, "Sort By");
  Combo1 = place<QComboBox>(page, "Combo1", 164, 4, 92, 22);
  Combo1->addItems(headings(kColumns));
  Log1 = place<QPushButton>(page, "Log1", 260, 4, 78, 22, "Add 2 Log");
  ButtonPlus2 = place<QPushButton>(page, "ButtonPlus2", 342, 4, 94, 22, "Scan Selected");
  FindWords = place<QLineEdit>(page, "FindWords", 440, 4, 94, 22);
  FindWords->setPlaceholderText(QStringLiteral("find words"));
  FindWords->setEnabled(false);
  Grid1 = place<Grid>(page, "Grid1", 4, 30, 620, 200);
  Grid1->setColumns(kColumns);

  LogFrm = place<QGroupBox>(page, "LogFrm", 4, 234, 620, 118, " Log Entry ");
  LogFrm->hide();
  Col0 = boundBox(LogFrm, "Col0", "DATETIME", 8, 20, 112);
  FrqSave = boundBox(LogFrm, "FrqSave", "FRQ", 124, 20, 70);
  LogMode = boundBox(LogFrm, "LogMode", "MODE", 198, 20, 112);
  HFNet = place<QCheckBox>(LogFrm, "HFNet", 314, 20, 50, 20, "Net");
  setTag(HFNet, "NET");
  Col4 = boundBox(LogFrm, "Col4", "DATESORT", 366, 20, 90);
  UniKey = boundBox(LogFrm, "UniKey", "UNIKEY", 460, 20, 110);
  for (QLineEdit *e : {Col4, UniKey}) e->setReadOnly(true);
  Col0->setToolTip(tr("Date and time of the entry"));
  FrqSave->setToolTip(tr("Frequency, kHz"));
  LogMode->setToolTip(tr("Mode"));
  Col4->setToolTip(tr("Sort stamp of the entry"));
  UniKey->setToolTip(tr("Unique key of the entry; empty for a new one"));
  LogNotes = boundBox(LogFrm, "LogNotes", "NOTES", 8, 46, 562);
  LogNotes->setMaxLength(100);
  LogNotes->installEventFilter(this);
  place<QLabel>(LogFrm, "NotesLabel", 8, 68, 200, 18, "Double Click to clear notes");
  SaveLog = place<QPushButton>(LogFrm, "SaveLog", 8, 90, 70, 22, "Save");
  ButtonPlus11 = place<QPushButton>(LogFrm, "ButtonPlus11", 84, 90, 70, 22, "Cancel");
  DelLog = place<QPushButton>(LogFrm, "DelLog", 160, 90, 70, 22, "Delete");
  ButtonPlus8 = place<QPushButton>(LogFrm, "ButtonPlus8", 236, 90, 110, 22, "Unknown Digital");

  table_ = std::make_unique<EntryTable>(kLayout, db, dialogs, window,
                                        EntryControls{Grid1, OnlyShow, LogFrm, UniKey});
  adif_ = new AdifMenu(Grid1, table_.get(), dialogs);
  connect(Log1, &QPushButton::clicked, this, &LogTab::newEntry);
  connect(SaveLog, &QPushButton::clicked, this, [this] {
    if (!table_->save()) return;
    words_.index(UniKey->text(), LogNotes->text());
    words_.logChanged();
  });
  connect(ButtonPlus11, &QPushButton::clicked, LogFrm, &QWidget::hide);
  connect(DelLog, &QPushButton::clicked, this, [this] {
    table_->remove();
    words_.logChanged();
  });
  connect(FindWords, &QLineEdit::returnPressed, this, &LogTab::findWords);
  connect(ButtonPlus8, &QPushButton::clicked, this, [this] { LogMode->setText("Unknown Digital"); });
  connect(OnlyShow, &QComboBox::activated, this, [this] { table_->display(); });
  connect(Combo1, &QComboBox::activated, this, [this](int column) { table_->sortBy(column); });
  connect(Grid1, &Grid::cellClicked, this, &LogTab::onClick);
  connect(Grid1, &Grid::cellDoubleClicked, this, [this](int row, int column) {
    if (column == 0) table_->open(row);
  });
}

void LogTab::newEntry() {
  FrqSave->setText(state_->frequencyText());
  LogMode->setText(state_->mode().value_or(QString()));
  const QDateTime now = stampClock();
  Col0->setText(stamp(QLatin1String(kLogDatePattern), now));
  Col4->setText(stamp(QLatin1String(kSortPattern), now));
  UniKey->clear();
  HFNet->setChecked(false);
  LogFrm->show();
  SaveLog->setFocus();
}

void LogTab::openWords() {
  FindWords->setEnabled(words_.open(table_->kdb(), table_->fileId()));
}

void LogTab::findWords() {
  const QString text = FindWords->text();
  if (text.trimmed().isEmpty()) {
    table_->display();
    return;
  }
  const QStringList wanted = LogWords::searchWords(text);
  Rows rows;
  for (const QString &key : words_.candidates(text)) {
    // Words taken out of a note stay in the index: the notes decide.
    if (table_->locate(key) && LogWords::notesHold(itemText(table_->kdb(), "NOTES", table_->fileId()), wanted))
      rows.push_back(table_->currentRow());
  }
  table_->show(std::move(rows));
}

void LogTab::onClick(int row, int column) {
  if (column == kFrequencyColumn) {
    table_->tuneTo(row, column);
  } else if (column == kMarkColumn) {
    Grid1->setText(row, column, Grid1->text(row, column) == QLatin1String(kMark) ? QString() : QString::fromLatin1(kMark));
  }
}

bool LogTab::eventFilter(QObject *watched, QEvent *event) {
  if (watched == LogNotes && event->type() == QEvent::MouseButtonDblClick) {
    LogNotes->clear();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tables
