#include "app/tables/entrytable.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

#include "app/mainwindow.h"
#include "app/panel.h"
#include "app/radio/frequency.h"
#include "app/tables/binding.h"
#include "app/tables/dialogs.h"
#include "app/tables/stamps.h"
#include "app/tuning.h"

namespace tables {

EntryTable::EntryTable(const TableLayout &layout, Database *db, Dialogs *dialogs, MainWindow *window,
                       const EntryControls &controls)
    : layout_(layout), db_(db), dialogs_(dialogs), window_(window), controls_(controls) {}

namespace {

// The row of the record in the record buffer: its items, trimmed. Listings
// call this for every record, so it copies each item once, into the row.
Row recordRow(KdbApi &kdb, int fileId, std::span<const Column> columns) {
  QVarLengthArray<QByteArray, 8> items;
  qsizetype length = 0;
  for (const Column &c : columns) {
    items.push_back(kdb.itemStub(QByteArray::fromRawData(c.item, qstrlen(c.item)), fileId, 0));
    length += items.back().size();
  }
  Row row;
  row.reserve(length);
  for (const QByteArray &item : items) row.append(QLatin1StringView(trimmedLatin1(item)));
  return row;
}

}  // namespace

Rows listRecords(KdbApi &kdb, int fileId, std::span<const Column> columns, const char *filterItem,
                 const QString &filter) {
  const bool all = filter.trimmed() == QLatin1String("All");
  Rows rows;
  kdb.posn(fileId, QByteArray(), 1, 0);
  while (kdb.read(fileId, 0) == KDB_OK) {
    if (!all && !itemText(kdb, filterItem, fileId).contains(filter, Qt::CaseSensitive)) continue;
    rows.push_back(recordRow(kdb, fileId, columns));
  }
  return rows;
}

Rows EntryTable::list() const {
  return listRecords(db_->kdb(), fileId(), layout_.columns, layout_.filterItem, controls_.filter->currentText());
}

Row EntryTable::currentRow() const { return recordRow(db_->kdb(), fileId(), layout_.columns); }

void EntryTable::display() { show(list()); }

void EntryTable::show(Rows rows) {
  if (complete_) complete_(rows);
  sortRows(rows, layout_.sortColumn, layout_.sortMode);
  controls_.grid->setRows(std::move(rows));
}

int EntryTable::store() {
  const QString key = controls_.key->text();
  if (radio::leadingNumber(key) != 0) return replaceOpened(key);
  controlsToRecord(db_->kdb(), window_, fileId());
  const AddedEntry added = addNew(stampNow(QLatin1String(layout_.keyPattern)));
  if (!added.key.isEmpty()) controls_.key->setText(added.key);
  return added.code;
}

int EntryTable::replaceOpened(const QString &key) {
  KdbApi &kdb = db_->kdb();
  const bool wasOpened = key.trimmed() == openedKey_;
  if (!locate(key, true)) {
    if (wasOpened && !ask(kDeletedElsewhere)) return -1;
    controlsToRecord(kdb, window_, fileId());
    const AddedEntry added = addNew(key);
    if (!added.key.isEmpty()) controls_.key->setText(added.key);
    return added.code;
  }
  if (const int locked = kdb.lock(fileId()); locked != KDB_OK) {
    dialogs_->message(QLatin1String(kBusyElsewhere));
    return locked == KDB_LOCKED ? -1 : locked;
  }
  // Read again under the lock: what is compared is what gets replaced.
  int code = kdb.read(fileId(), 1);
  if (code == KDB_OK && wasOpened && currentRow() != opened_ && !ask(kChangedElsewhere)) {
    recordToControls(kdb, window_, fileId(), true);
    opened_ = currentRow();
    code = -1;
  } else if (code == KDB_OK) {
    controlsToRecord(kdb, window_, fileId());
    code = kdb.write(fileId(), 0, 1);
  }
  kdb.unlock(fileId());
  return code;
}

bool EntryTable::save(const std::function<void(const QString &key)> &stored) {
  const int code = store();
  if (code != KDB_OK) {
    if (code != -1) dialogs_->message(QLatin1String(layout_.writeError));
    return false;
  }
  if (stored) stored(controls_.key->text().trimmed());
  openedKey_.clear();
  display();
  controls_.frame->hide();
  window_->panel()->focusKeys();
  return true;
}

bool EntryTable::locate(const QString &key, bool staying) {
  KdbApi &kdb = db_->kdb();
  kdb.posn(fileId(), key.toLatin1(), 1, 0);
  if (kdb.read(fileId(), staying ? 1 : 0) != KDB_OK) return false;
  return key.trimmed() == itemText(kdb, keyItem(), fileId()).trimmed();
}

AddedEntry EntryTable::addNew(const QString &wanted) { return addEntry(db_->kdb(), fileId(), keyItem(), wanted); }

bool EntryTable::ask(const char *question) {
  return dialogs_->showMessage({QLatin1String(question), 1, QString(), QStringLiteral("Y"), 0}) == 1;
}

void EntryTable::remove() {
  if (locate(controls_.key->text())) {
    if (db_->kdb().remove(fileId()) != KDB_OK) dialogs_->message(QLatin1String(layout_.deleteError));
  } else if (layout_.reportMissing) {
    dialogs_->message(QLatin1String(kNotFound));
  }
  controls_.frame->hide();
  display();
  refresh();
}

void EntryTable::open(int row) {
  const QString key = controls_.grid->text(row, layout_.keyColumn);
  if (locate(key)) {
    openedKey_ = key;
    opened_ = currentRow();
    recordToControls(db_->kdb(), window_, fileId(), true);
    controls_.frame->show();
    return;
  }
  dialogs_->message(QLatin1String(kNotFound));
  refresh();
}

void EntryTable::sortBy(int column) {
  controls_.grid->sortBy(column, SortMode::TextNoCase);
  refresh();
}

void EntryTable::tuneTo(int row, int column) {
  window_->tuning()->tuneTo(controls_.grid->text(row, column));
}

void EntryTable::refresh() {
  QCoreApplication::processEvents();
  window_->panel()->focusKeys();
}

}  // namespace tables
