#include "app/tables/widgets.h"

#include <QComboBox>
#include <QLineEdit>

#include "app/tables/binding.h"

namespace tables {

QComboBox *filterBox(QWidget *page, const char *name, std::span<const char *const> choices) {
  auto *box = place<QComboBox>(page, name, 4, 4, 110, 22);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  for (const char *choice : choices) box->addItem(QLatin1String(choice));
  box->setCurrentText(QStringLiteral("All"));
  return box;
}

QLineEdit *boundBox(QWidget *frame, const char *name, const char *item, int x, int y, int w) {
  QLineEdit *edit = place<QLineEdit>(frame, name, x, y, w, 20);
  setTag(edit, item);
  return edit;
}

}  // namespace tables
