// Building the controls of the main window's form: each control gets its
// form name as objectName (tests and the table binding find it by that
// name), a place in pixels and, where it has one, a text or title.
#ifndef TESSALY_APP_FORM_H
#define TESSALY_APP_FORM_H

#include <QLabel>
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

// Height of a caption line: the short name shown above a box or slider.
constexpr int kCaptionHeight = 12;

// A caption naming `control`, in the line just above it (`width` 0: the
// control's width). The control is the caption's buddy, so screen readers and
// a shortcut in the text reach the control.
inline QLabel *captionAbove(QWidget *control, const QString &text, int width = 0) {
  QWidget *parent = control->parentWidget();
  QLabel *caption = place<QLabel>(parent, control->objectName() + QLatin1String("Caption"), control->x(),
                                  control->y() - kCaptionHeight, width ? width : control->width(), kCaptionHeight,
                                  text);
  QFont small = caption->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  caption->setFont(small);
  caption->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  caption->setBuddy(control);
  return caption;
}

// The same caption on the left of `control`, `width` pixels wide, for a row
// with no line above it.
inline QLabel *captionLeft(QWidget *control, const QString &text, int width) {
  QLabel *caption = captionAbove(control, text, width);
  caption->move(control->x() - width - 2, control->y());
  caption->resize(width, control->height());
  caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return caption;
}

// The form name of element `i` of a control array: "Name_i".
inline QString indexed(const char *name, int i) { return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i); }

}  // namespace form

#endif
