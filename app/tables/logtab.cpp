#include "app/tables/logtab.h"

#include <QCheckBox>
#include <QDir>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>
#include <numeric>

#include "app/mainwindow.h"
#include "app/radio/freqrange.h"
#include "app/radio/frequency.h"
#include "app/radio/radiostate.h"
#include "app/radiocontrol.h"
#include "app/tables/adifmenu.h"
#include "app/tables/binding.h"
#include "app/tables/dialogs.h"
#include "app/tables/tablemaker.h"
#include "app/tables/logcompanion.h"
#include "app/tables/logudp.h"
#include "app/tables/stamps.h"
#include "app/tables/widgets.h"

namespace tables {

// "Call" comes from the companion table; Log.Dat has no such item.
const Column LogTab::kColumns[9] = {
    {"Date Time", 1500, "DATETIME"}, {"Frequency", 1000, "FRQ"}, {"Mode", 1000, "MODE"},
    {"Net", 600, "NET"},             {"Sort", 10, "DATESORT"},   {"Notes", 6000, "NOTES"},
    {"Scn", 300, "DATTIMFRQ"},       {"Key", 10, "UNIKEY"},      {"Call", 1000, "CALL"},
};
static_assert(std::size(LogTab::kColumns) <= Row::kCellsInPlace);

namespace {

constexpr char kMark[] = "X";
constexpr int kNotesLength = 100;
constexpr char kRstSent[] = "RST_SENT", kRstRcvd[] = "RST_RCVD";

const TableLayout kLayout = {TableId::Log, LogTab::kColumns, "NOTES", LogTab::kKeyColumn, 4, SortMode::Numeric,
                             kUniqueKeyPattern, "Error writing to Log file", "Error Deleting Record", false};

const char *const kFilters[] = {"All", "", "PSK31", "RTTY", "SSTV", "Olivia", "Digital", "",
                                "Business", "Fax", "Coast Guard", "Gov", "Marine", "Weather", "Unknown"};

}  // namespace

LogTab::LogTab(QWidget *page, Database *db, LumbraLibrary *library, Dialogs *dialogs, MainWindow *window)
    : state_(&window->radio()->state()), range_(&window->frequencyRange()), db_(db), dialogs_(dialogs),
      words_(library) {
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
  // The row above the grid is full: the UDP box sits below it.
  UdpLog = place<QCheckBox>(page, "UdpLog", 4, 182, 300, 20, "Log contacts reported over UDP");
  UdpLog->setToolTip(tr("Add the contacts that weak-signal programs report over UDP to the log"));
  Grid1 = place<Grid>(page, "Grid1", 4, 30, 620, 150);
  Grid1->setColumns(kColumns);

  LogFrm = place<QGroupBox>(page, "LogFrm", 4, 206, 620, 146, " Log Entry ");
  LogFrm->hide();
  Col0 = boundBox(LogFrm, "Col0", "DATETIME", 8, 30, 112);
  FrqSave = boundBox(LogFrm, "FrqSave", "FRQ", 124, 30, 70);
  LogMode = boundBox(LogFrm, "LogMode", "MODE", 198, 30, 112);
  HFNet = place<QCheckBox>(LogFrm, "HFNet", 314, 30, 50, 20, "Net");
  HFNet->setToolTip(tr("The entry is a net"));
  setTag(HFNet, "NET");
  Col4 = boundBox(LogFrm, "Col4", "DATESORT", 366, 30, 90);
  UniKey = boundBox(LogFrm, "UniKey", "UNIKEY", 460, 30, 110);
  for (QLineEdit *e : {Col4, UniKey}) e->setReadOnly(true);
  Col0->setToolTip(tr("Date and time of the entry"));
  FrqSave->setToolTip(tr("Frequency, kHz"));
  LogMode->setToolTip(tr("Mode"));
  Col4->setToolTip(tr("Sort stamp of the entry"));
  UniKey->setToolTip(tr("Unique key of the entry; empty for a new one"));
  LogNotes = boundBox(LogFrm, "LogNotes", "NOTES", 8, 56, 562);
  LogNotes->setMaxLength(kNotesLength);
  LogNotes->installEventFilter(this);
  place<QLabel>(LogFrm, "NotesLabel", 8, 94, 200, 18, "Double Click to clear notes")->setBuddy(LogNotes);
  CallBox = place<QLineEdit>(LogFrm, "CallBox", 212, 92, 100, 22);
  RstSent = place<QLineEdit>(LogFrm, "RstSent", 316, 92, 60, 22);
  RstRcvd = place<QLineEdit>(LogFrm, "RstRcvd", 380, 92, 60, 22);
  CallBox->setPlaceholderText(tr("Call"));
  RstSent->setPlaceholderText(tr("RST sent"));
  RstRcvd->setPlaceholderText(tr("RST rcvd"));
  CallBox->setToolTip(tr("Call sign of the station worked"));
  RstSent->setToolTip(tr("Signal report sent"));
  RstRcvd->setToolTip(tr("Signal report received"));
  const std::pair<QLineEdit *, QString> captions[] = {
      {Col0, tr("Date and time")}, {FrqSave, tr("kHz")}, {LogMode, tr("Mode")},        {Col4, tr("Sort stamp")},
      {UniKey, tr("Key")},         {CallBox, tr("Call")}, {RstSent, tr("RST sent")}, {RstRcvd, tr("RST rcvd")}};
  for (const auto &[box, text] : captions) form::captionAbove(box, text);
  SaveLog = place<QPushButton>(LogFrm, "SaveLog", 8, 118, 70, 22, "Save");
  SaveLog->setToolTip(tr("Save the entry to the log"));
  ButtonPlus11 = place<QPushButton>(LogFrm, "ButtonPlus11", 84, 118, 70, 22, "Cancel");
  ButtonPlus11->setToolTip(tr("Close the entry without saving"));
  DelLog = place<QPushButton>(LogFrm, "DelLog", 160, 118, 70, 22, "Delete");
  DelLog->setToolTip(tr("Delete the entry from the log (asks first)"));
  ButtonPlus8 = place<QPushButton>(LogFrm, "ButtonPlus8", 236, 118, 110, 22, "Unknown Digital");
  ButtonPlus8->setToolTip(tr("Set the mode to \"Unknown Digital\""));
  NotesCount = place<QLabel>(LogFrm, "NotesCount", 500, 94, 70, 18);
  NotesCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  NotesCount->setToolTip(tr("Characters of the notes used, of %1").arg(kNotesLength));
  FrameNote = place<QLabel>(LogFrm, "FrameNote", 352, 114, 262, 30);
  FrameNote->setWordWrap(true);
  FrameNote->setStyleSheet("color: #a00000");
  auto countNotes = [this] { NotesCount->setText(QStringLiteral("%1/%2").arg(LogNotes->text().size()).arg(kNotesLength)); };
  connect(LogNotes, &QLineEdit::textChanged, this, countNotes);
  countNotes();

  table_ = std::make_unique<EntryTable>(kLayout, db, dialogs, window,
                                        EntryControls{Grid1, OnlyShow, LogFrm, UniKey});
  adif_ = new AdifMenu(Grid1, table_.get(), db, dialogs);
  connect(Log1, &QPushButton::clicked, this, &LogTab::newEntry);
  udp_ = new LogUdp(db, dialogs, [this] { table_->display(); }, this);
  udpPort_ = LogUdp::kDefaultPort;
  connect(UdpLog, &QCheckBox::toggled, this, [this, dialogs](bool on) {
    if (!on) {
      udp_->stop();
      return;
    }
    QString error;
    if (!udp_->listening() && !udp_->start(udpAddress_, udpPort_, &error)) {
      dialogs->message(QStringLiteral("Unable to listen on %1 port %2: %3").arg(udpAddress_.toString()).arg(udpPort_).arg(error));
      const QSignalBlocker quiet(UdpLog);
      UdpLog->setChecked(false);
    }
  });
  table_->setCompletion([this](Rows &rows) { completeRows(rows); });
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
    open(row);
  });
}

bool LogTab::frequencyToSave() {
  const std::optional<long> tenHz = radio::parseKhz(FrqSave->text().trimmed());
  const QString range = range_->shownText();
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

void LogTab::redisplay() {
  if (!FindWords->text().trimmed().isEmpty() && words_.isOpen()) findWords();
}

void LogTab::newEntry() {
  FrqSave->setText(state_->frequencyText());
  FrameNote->clear();
  LogMode->setText(state_->mode().value_or(QString()));
  const QDateTime now = stampClock();
  entryUtc_ = now.toUTC();
  Col0->setText(stamp(QLatin1String(kLogDatePattern), now));
  Col4->setText(stamp(QLatin1String(kSortPattern), now));
  UniKey->clear();
  for (QLineEdit *e : {CallBox, RstSent, RstRcvd}) e->clear();
  HFNet->setChecked(false);
  LogFrm->show();
  if (state_->frequencyText().isEmpty()) {
    // No frequency from the radio: the operator types one.
    frequencyToSave();
    return;
  }
  SaveLog->setFocus();
}

bool LogTab::listenUdp(const QHostAddress &address, quint16 port, QString *error) {
  udpAddress_ = address;
  udpPort_ = port;
  if (!udp_->start(address, port, error)) return false;
  const QSignalBlocker quiet(UdpLog);
  UdpLog->setChecked(true);
  return true;
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
  QStringList keys;
  for (const QString &key : words_.candidates(text)) {
    // Words taken out of a note stay in the index: the notes decide.
    if (table_->locate(key) && LogWords::notesHold(itemText(table_->kdb(), "NOTES", table_->fileId()), wanted))
      keys << key;
  }
  const QStringList typed = text.split(u' ', Qt::SkipEmptyParts);
  db_->companion().forEach([&](const Companion &extra) {
    if (!extra.call.isEmpty() && typed.contains(extra.call, Qt::CaseInsensitive) && !keys.contains(extra.key))
      keys << extra.key;
  }, false);
  Rows rows;
  for (const QString &key : keys)
    if (table_->locate(key)) rows.push_back(table_->currentRow());
  table_->show(std::move(rows));
}

void LogTab::save() {
  if (!frequencyToSave()) return;
  const bool fresh = radio::leadingNumber(UniKey->text()) == 0;
  // Read under the key the frame holds: an entry deleted elsewhere and saved
  // again as new may be stored under another key.
  LogCompanion &companion = db_->companion();
  Companion extra = fresh ? Companion{} : companion.read(UniKey->text().trimmed()).value_or(Companion{});
  if (fresh) extra.utc = entryUtc_.isValid() ? entryUtc_ : QDateTime::currentDateTimeUtc();
  extra.call = CallBox->text().trimmed().toUpper();
  const std::pair<const char *, QLineEdit *> reports[] = {{kRstSent, RstSent}, {kRstRcvd, RstRcvd}};
  for (const auto &[field, box] : reports) {
    if (box->text().trimmed().isEmpty()) extra.fields.erase(field);
    else extra.fields[field] = box->text().trimmed().toUtf8();
  }
  const QString notes = LogNotes->text().trimmed();
  extra.notes = QString::fromLatin1(notes.toLatin1()) == notes ? QString() : notes;
  // The companion goes in under the key the entry got, before the listing
  // after the save reads it.
  const bool saved = table_->save([&](const QString &key) {
    extra.key = key;
    companion.write(extra);
  });
  if (!saved) return;
  FrameNote->clear();
  words_.index(UniKey->text().trimmed(), LogNotes->text());
  words_.logChanged();
  redisplay();
}

void LogTab::open(int row) {
  table_->open(row);
  const std::optional<Companion> extra = db_->companion().read(Grid1->text(row, kKeyColumn));
  const Companion shown = extra.value_or(Companion{});
  CallBox->setText(shown.call);
  auto field = [&](const char *name) {
    const auto found = shown.fields.find(name);
    return found == shown.fields.end() ? QString() : QString::fromUtf8(found->second);
  };
  RstSent->setText(field(kRstSent));
  RstRcvd->setText(field(kRstRcvd));
  if (!shown.notes.isEmpty() && QString::fromLatin1(shown.notes.toLatin1()) == LogNotes->text().trimmed())
    LogNotes->setText(shown.notes);
}

void LogTab::remove() {
  const QString key = UniKey->text().trimmed();
  if (!key.isEmpty()) {
    MessageRequest ask;
    ask.heading = QStringLiteral("Delete");
    ask.yesNo = QStringLiteral("Y");
    ask.message = tr("Delete the entry of %1, %2 kHz?").arg(Col0->text(), FrqSave->text());
    if (dialogs_->showMessage(ask) != 1) return;
  }
  table_->remove();
  if (!table_->locate(key)) db_->companion().remove(key);
  words_.logChanged();
  redisplay();
}

void LogTab::completeRows(Rows &rows) {
  if (rows.empty() || !db_->companion().isOpen()) return;
  // The rows in key order (a listing's already are), paired with the
  // companion's records, which come in key order too.
  std::vector<size_t> order(rows.size());
  std::iota(order.begin(), order.end(), size_t{0});
  auto keyOf = [&](size_t i) { return rows[i].cell(kKeyColumn); };
  auto before = [&](size_t a, size_t b) { return keyOf(a).compare(keyOf(b), Qt::CaseInsensitive) < 0; };
  if (!std::is_sorted(order.begin(), order.end(), before)) std::sort(order.begin(), order.end(), before);
  size_t next = 0;
  db_->companion().forEach([&](const Companion &extra) {
    while (next < order.size() && keyOf(order[next]).compare(extra.key, Qt::CaseInsensitive) < 0) ++next;
    if (next == order.size() || keyOf(order[next]).compare(extra.key, Qt::CaseInsensitive) != 0) return;
    Row &row = rows[order[next++]];
    row.setCell(kCallColumn, extra.call);
    if (row.cell(kFrequencyColumn).isEmpty() && !extra.band.isEmpty())
      row.setCell(kFrequencyColumn, QString::fromLatin1(extra.band));
  }, false);
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
