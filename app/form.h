// Building the controls of the main window's form: each control gets its
// form name as objectName (tests and the table binding find it by that
// name), a place in pixels and, where it has one, a text or title.
#ifndef TESSALY_APP_FORM_H
#define TESSALY_APP_FORM_H

#include <QSlider>
#include <QString>
#include <QWidget>

namespace form {

template <class W>
W *place(QWidget *parent, const QString &name, int x, int y, int w, int h, const QString &text = {}) {
  W *widget = new W(parent);
  widget->setObjectName(name);
  widget->setGeometry(x, y, w, h);
  if constexpr (requires { widget->setText(text); }) {
    if (!text.isEmpty()) widget->setText(text);
  } else if constexpr (requires { widget->setTitle(text); }) {
    widget->setTitle(text);
  }
  return widget;
}

// A horizontal slider over `min` .. `max` at `value`.
inline QSlider *slider(QWidget *parent, const QString &name, int x, int y, int w, int min, int max, int value) {
  QSlider *s = place<QSlider>(parent, name, x, y, w, 20);
  s->setOrientation(Qt::Horizontal);
  s->setRange(min, max);
  s->setValue(value);
  return s;
}

// The form name of element `i` of a control array: "Name_i".
inline QString indexed(const char *name, int i) { return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i); }

}  // namespace form

#endif
