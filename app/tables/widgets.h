// Small helpers that build the controls of the table tabs: each control gets
// its form name as objectName, a place in pixels and, where it has one, a text.
#ifndef TESSALY_APP_TABLES_WIDGETS_H
#define TESSALY_APP_TABLES_WIDGETS_H

#include <QString>
#include <QWidget>
#include <span>

class QComboBox;
class QLineEdit;

namespace tables {

template <class W>
W *place(QWidget *parent, const char *name, int x, int y, int w, int h, const QString &text = {}) {
  W *widget = new W(parent);
  widget->setObjectName(QLatin1String(name));
  widget->setGeometry(x, y, w, h);
  if constexpr (requires { widget->setText(text); }) {
    if (!text.isEmpty()) widget->setText(text);
  } else if constexpr (requires { widget->setTitle(text); }) {
    widget->setTitle(text);
  }
  return widget;
}

// A filter selector at the top left of a tab: a drop-down list of `choices`
// whose text the user may also type (typed words are not added to the list),
// showing "All".
QComboBox *filterBox(QWidget *page, const char *name, std::span<const char *const> choices);

// An entry box of a frame, bound to record item `item`.
QLineEdit *boundBox(QWidget *frame, const char *name, const char *item, int x, int y, int w);

}  // namespace tables

#endif
