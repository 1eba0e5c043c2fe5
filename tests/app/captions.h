// Checks that the boxes and sliders under a widget are named on screen: a
// label in view whose buddy is the control, or the title of the frame that
// holds it; and that no such label lies over another control.
#ifndef TESSALY_TESTS_APP_CAPTIONS_H
#define TESSALY_TESTS_APP_CAPTIONS_H

#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>

inline void expectNamedOnScreen(QWidget *root, const QStringList &unnamed) {
  const QList<QLabel *> labels = root->findChildren<QLabel *>();
  auto named = [&](QWidget *control) {
    for (QLabel *l : labels)
      if (l->buddy() == control && !l->text().isEmpty()) return true;
    auto *frame = qobject_cast<QGroupBox *>(control->parentWidget());
    return frame && !frame->title().trimmed().isEmpty();
  };
  QList<QWidget *> controls;
  for (QLineEdit *box : root->findChildren<QLineEdit *>()) controls << box;
  for (QAbstractSlider *slider : root->findChildren<QAbstractSlider *>()) controls << slider;
  for (QWidget *control : controls) {
    // Boxes that belong to other widgets (spin boxes, combo boxes) are theirs.
    if (control->objectName().isEmpty() || unnamed.contains(control->objectName())) continue;
    EXPECT_TRUE(named(control)) << control->objectName().toStdString() << " has no name on screen";
  }
  for (QLabel *l : labels) {
    if (!l->buddy()) continue;
    for (QWidget *sibling : l->parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
      if (sibling == l || qobject_cast<QLabel *>(sibling) || sibling->isHidden()) continue;
      EXPECT_FALSE(l->geometry().intersects(sibling->geometry()))
          << l->objectName().toStdString() << " lies over " << sibling->objectName().toStdString();
    }
  }
}

#endif
