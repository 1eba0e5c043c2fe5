#include "app/tables/logtab.h"

#include <QCheckBox>
#include <QDir>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/mainwindow.h"
#include "app/radio/freqrange.h"
#include "app/radio/frequency.h"
#include "app/radio/radiostate.h"
#include "app/radiocontrol.h"
#include "app/tables/adifmenu.h"
#include "app/tables/binding.h"
#include "app/tables/dialogs.h"
#include "app/tables/tablemaker.h"
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
constexpr int kNotesLength = 100;

const TableLayout kLayout = {TableId::Log, LogTab::kColumns, "NOTES", LogTab::kKeyColumn, 4, SortMode::Numeric,
                             kUniqueKeyPattern, "Error writing to Log file", "Error Deleting Record", false};

const char *const kFilters[] = {"All", "", "PSK31", "RTTY", "SSTV", "Olivia", "Digital", "",
                                "Business", "Fax", "Coast Guard", "Gov", "Marine", "Weather", "Unknown"};

}  // namespace

LogTab::LogTab(QWidget *page, Database *db, LumbraLibrary *library, Dialogs *dialogs, MainWindow *window)
    : state_(&window->radio()->state()), range_(&window->frequencyRange()), dialogs_(dialogs), words_(library) {
  OnlyShow = filterBox(page, "OnlyShow", kFilters);
  place<QLabel>(page, "SortByLabel", 118, 4, 44, 22, "Sort By");
  Combo1 = place<QComboBox>(page, "Combo1", 164, 4, 92, 22);
  Combo1->addItems(headings(kColumns));
  Log1 = place<QPushButton>(page, "Log1", 260, 4, 78, 22, "Add 2 Log");
  Log1->setToolTip(tr("Start a log entry at the radio's frequency and mode"));
  ButtonPlus2 = place<QPushButton>(page, "ButtonPlus2", 342, 4, 94, 22, "Scan Selected");
  ButtonPlus2->setToolTip(tr("Visit the entries marked X in the Scn column in turn"));
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
  HFNet->setToolTip(tr("The entry is a net"));
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
  LogNotes->setMaxLength(kNotesLength);
  LogNotes->installEventFilter(this);
  place<QLabel>(LogFrm, "NotesLabel", 8, 68, 200, 18, "Double Click to clear notes");
  SaveLog = place<QPushButton>(LogFrm, "SaveLog", 8, 90, 70, 22, "Save");
  SaveLog->setToolTip(tr("Save the entry to the log"));
  ButtonPlus11 = place<QPushButton>(LogFrm, "ButtonPlus11", 84, 90, 70, 22, "Cancel");
  ButtonPlus11->setToolTip(tr("Close the entry without saving"));
  DelLog = place<QPushButton>(LogFrm, "DelLog", 160, 90, 70, 22, "Delete");
  DelLog->setToolTip(tr("Delete the entry from the log (asks first)"));
  ButtonPlus8 = place<QPushButton>(LogFrm, "ButtonPlus8", 236, 90, 110, 22, "Unknown Digital");
  ButtonPlus8->setToolTip(tr("Set the mode to \"Unknown Digital\""));
  NotesCount = place<QLabel>(LogFrm, "NotesCount", 500, 68, 70, 18);
  NotesCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  NotesCount->setToolTip(tr("Characters of the notes used, of %1").arg(kNotesLength));
  FrameNote = place<QLabel>(LogFrm, "FrameNote", 352, 84, 262, 32);
  FrameNote->setWordWrap(true);
  FrameNote->setStyleSheet("color: #a00000");
  auto countNotes = [this] { NotesCount->setText(QStringLiteral("%1/%2").arg(LogNotes->text().size()).arg(kNotesLength)); };
  connect(LogNotes, &QLineEdit::textChanged, this, countNotes);
  countNotes();

  table_ = std::make_unique<EntryTable>(kLayout, db, dialogs, window,
                                        EntryControls{Grid1, OnlyShow, LogFrm, UniKey});
  adif_ = new AdifMenu(Grid1, table_.get(), dialogs);
  connect(Log1, &QPushButton::clicked, this, &LogTab::newEntry);
  connect(SaveLog, &QPushButton::clicked, this, &LogTab::save);
  connect(ButtonPlus11, &QPushButton::clicked, LogFrm, &QWidget::hide);
  connect(DelLog, &QPushButton::clicked, this, &LogTab::remove);
  connect(FindWords, &QLineEdit::returnPressed, this, &LogTab::findWords);
  connect(ButtonPlus8, &QPushButton::clicked, this, [this] { LogMode->setText("Unknown Digital"); });
  connect(OnlyShow, &QComboBox::activated, this, [this] { table_->display(); });
  connect(Combo1, &QComboBox::activated, this, [this](int column) { table_->sortBy(column); });
  connect(Grid1, &Grid::cellClicked, this, &LogTab::onClick);
  connect(Grid1, &Grid::cellDoubleClicked, this, [this](int row) {
    FrameNote->clear();
    table_->open(row);
  });
}

bool LogTab::frequencyToSave() {
  const std::optional<long> tenHz = radio::parseKhz(FrqSave->text().trimmed());
  const QString range = tr("%1 to %2 kHz").arg(radio::khzText(range_->lowHz / 10), radio::khzText(range_->highHz / 10));
  if (!tenHz || !range_->contains(*tenHz * 10)) {
    FrameNote->setText(FrqSave->text().trimmed().isEmpty()
                           ? tr("Type the frequency, kHz (%1), then Save.").arg(range)
                           : tr("\"%1\" is no frequency of %2: not saved.").arg(FrqSave->text(), range));
    FrqSave->setFocus();
    FrqSave->selectAll();
    return false;
  }
  FrqSave->setText(radio::khzText(*tenHz));
  return true;
}

void LogTab::save() {
  if (!frequencyToSave() || !table_->save()) return;
  FrameNote->clear();
  words_.index(UniKey->text(), LogNotes->text());
  words_.logChanged();
  redisplay();
}

void LogTab::remove() {
  if (!UniKey->text().trimmed().isEmpty()) {
    MessageRequest ask;
    ask.heading = QStringLiteral("Delete");
    ask.yesNo = QStringLiteral("Y");
    ask.message = tr("Delete the entry of %1, %2 kHz?").arg(Col0->text(), FrqSave->text());
    if (dialogs_->showMessage(ask) != 1) return;
  }
  table_->remove();
  words_.logChanged();
  redisplay();
}

void LogTab::redisplay() {
  if (!FindWords->text().trimmed().isEmpty() && words_.isOpen()) findWords();
}

void LogTab::newEntry() {
  FrqSave->setText(state_->frequencyText());
  FrameNote->clear();
  LogMode->setText(state_->mode().value_or(QString()));
  const QDateTime now = stampClock();
  Col0->setText(stamp(QLatin1String(kLogDatePattern), now));
  Col4->setText(stamp(QLatin1String(kSortPattern), now));
  UniKey->clear();
  HFNet->setChecked(false);
  LogFrm->show();
  if (state_->frequencyText().isEmpty()) {
    // No frequency from the radio: the operator types one.
    frequencyToSave();
    return;
  }
  SaveLog->setFocus();
}

void LogTab::openWords() {
  const bool open = words_.open(table_->kdb(), table_->fileId());
  FindWords->setEnabled(true);
  FindWords->setPlaceholderText(open ? QStringLiteral("find words") : QStringLiteral("find words (no index)"));
  FindWords->setToolTip(open ? tr("Lists the entries whose notes hold every word typed here; Enter searches")
                             : tr("%1.\nPress Enter here to build the word index.").arg(words_.whyClosed()));
}

bool LogTab::offerToBuildWords() {
  MessageRequest ask;
  ask.heading = QStringLiteral("Find words");
  ask.yesNo = QStringLiteral("Y");
  ask.message = tr("%1.\nBuild the word index now?").arg(words_.whyClosed());
  if (dialogs_->showMessage(ask) != 1) return false;
  QString error;
  if (!makeMissingTables(QDir::currentPath(), corvexTool_, &error)) {
    dialogs_->message(error);
    return false;
  }
  openWords();
  if (!words_.isOpen()) dialogs_->message(words_.whyClosed());
  return words_.isOpen();
}

void LogTab::findWords() {
  if (!words_.isOpen() && !offerToBuildWords()) return;
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
