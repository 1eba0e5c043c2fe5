#include "app/tables/binding.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QWidget>

#include "app/radio/frequency.h"
#include "app/tables/plaintext.h"

namespace tables {

namespace {

// 8-bit text as the record layer takes it; characters beyond Latin-1 become "?".
QByteArray eightBit(const QString &text) { return text.toLatin1(); }

QString trimmedRight(const QString &text) {
  qsizetype end = text.size();
  while (end > 0 && text[end - 1] == u' ') --end;
  return text.left(end);
}

// The item name of a control, "" for an untagged one.
QByteArray itemOf(const QWidget *control) {
  return eightBit(trimmedRight(control->property(kTagProperty).toString()));
}

void setValue(QWidget *control, const QString &value) {
  if (auto *check = qobject_cast<QCheckBox *>(control)) {
    const int state = static_cast<int>(radio::leadingNumber(value));
    check->setCheckState(state == 1 ? Qt::Checked : state == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
  } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
    edit->setText(value);
  } else if (auto *combo = qobject_cast<QComboBox *>(control)) {
    combo->setCurrentText(value);
  } else if (auto *list = qobject_cast<QListWidget *>(control)) {
    const auto items = list->findItems(value, Qt::MatchExactly);
    if (!items.isEmpty()) list->setCurrentItem(items.first());
  } else if (auto *button = qobject_cast<QAbstractButton *>(control)) {
    button->setText(value);
  } else if (auto *label = qobject_cast<QLabel *>(control)) {
    label->setText(value);
  }
}

}  // namespace

void setTag(QWidget *control, const char *item) { control->setProperty(kTagProperty, QString::fromLatin1(item)); }

QString controlValue(const QWidget *control) {
  if (auto *check = qobject_cast<const QCheckBox *>(control)) {
    const Qt::CheckState state = check->checkState();
    return numberToPlainText(state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0);
  }
  if (auto *edit = qobject_cast<const QLineEdit *>(control)) return edit->text();
  if (auto *combo = qobject_cast<const QComboBox *>(control)) return combo->currentText();
  if (auto *list = qobject_cast<const QListWidget *>(control))
    return list->currentItem() ? list->currentItem()->text() : QString();
  if (auto *button = qobject_cast<const QAbstractButton *>(control)) return button->text();
  if (auto *label = qobject_cast<const QLabel *>(control)) return label->text();
  return {};
}

void controlsToRecord(KdbApi &kdb, QWidget *window, int fileId) {
  for (QWidget *control : window->findChildren<QWidget *>()) {
    const QByteArray item = itemOf(control);
    if (item.isEmpty()) continue;
    kdb.copyFput(eightBit(controlValue(control)), item, fileId);
  }
}

void recordToControls(KdbApi &kdb, QWidget *window, int fileId, bool trim) {
  for (QWidget *control : window->findChildren<QWidget *>()) {
    const QByteArray item = itemOf(control);
    if (item.isEmpty()) continue;
    QString value = QString::fromLatin1(kdb.copyFid(item, fileId));
    if (value.isEmpty()) continue;
    if (trim) value = trimmedRight(value);
    setValue(control, value);
  }
}

QString itemText(KdbApi &kdb, const char *item, int fileId, int occ) {
  // The name is only passed on: no copy of it (listings ask for every item of every record).
  return QString::fromLatin1(kdb.itemStub(QByteArray::fromRawData(item, qstrlen(item)), fileId, occ));
}

}  // namespace tables
