// Small helpers that build the controls of the table tabs: each control gets
// its form name as objectName, a place in pixels and, where it has one, a text.
#ifndef TESSALY_APP_TABLES_WIDGETS_H
#define TESSALY_APP_TABLES_WIDGETS_H

#include <QString>
#include <QWidget>
#include <span>

#include "app/form.h"

class QComboBox;
class QLineEdit;

namespace tables {

using form::place;

// A filter selector at the top left of a tab: a drop-down list of `choices`
// whose text the user may also type (typed words are not added to the list),
// showing "All".
QComboBox *filterBox(QWidget *page, const char *name, std::span<const char *const> choices);

// An entry box of a frame, bound to record item `item`.
QLineEdit *boundBox(QWidget *frame, const char *name, const char *item, int x, int y, int w);

}  // namespace tables

#endif
