// Small helpers that build the controls of the table tabs: each control gets
// its form name as objectName, a place in pixels and, where it has one, a text.
#ifndef TESSALY_APP_TABLES_WIDGETS_H
#define TESSALY_APP_TABLES_WIDGETS_H

#include <QString>
#include <QWidget>

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

}  // namespace tables

#endif
