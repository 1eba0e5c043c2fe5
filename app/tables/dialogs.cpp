#include "app/tables/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/tables/msgbox.h"

namespace tables {

void WidgetDialogs::message(const QString &text) { QMessageBox::information(parent_, QString(), text); }

int WidgetDialogs::showMessage(const MessageRequest &request) {
  MsgBox box(request, parent_);
  box.exec();
  return box.answer();
}

QString WidgetDialogs::openFileName(const QString &filter, const QString &defaultSuffix) {
  QFileDialog dialog(parent_, QString(), QString(), filter);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

}  // namespace tables

