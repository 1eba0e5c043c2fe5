#include "app/tables/dialogs.h"

#include <QDebug>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/tables/msgbox.h"

namespace tables {

void WidgetDialogs::message(const QString &text) {
  if (answering_ == kWait) {
    QMessageBox::information(parent_, QString(), text);
    return;
  }
  auto *box = new QMessageBox(QMessageBox::Information, QString(), text, QMessageBox::Ok, parent_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
  qWarning().noquote() << "tessaly:" << text;
}

int WidgetDialogs::showMessage(const MessageRequest &request) {
  if (answering_ == kShowOnly) {
    auto *box = new MsgBox(request, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return 0;
  }
  MsgBox box(request, parent_);
  box.exec();
  return box.answer();
}

QString WidgetDialogs::openFileName(const QString &filter, const QString &defaultSuffix) {
  if (answering_ == kShowOnly) return {};
  QFileDialog dialog(parent_, QString(), QString(), filter);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

QString WidgetDialogs::saveFileName(const QString &filter, const QString &defaultSuffix) {
  QFileDialog dialog(parent_, QString(), QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

Dialogs::MissingTables WidgetDialogs::missingTables(const QString &text) {
  auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tessaly"), text, QMessageBox::NoButton, parent_);
  box->setObjectName("MissingTables");
  QPushButton *create = box->addButton(QStringLiteral("Create empty tables here"), QMessageBox::AcceptRole);
  QPushButton *another = box->addButton(QStringLiteral("Open another folder"), QMessageBox::ActionRole);
  box->addButton(QStringLiteral("Go on without tables"), QMessageBox::RejectRole);
  create->setToolTip(QStringLiteral("Make the missing tables, empty, in this folder"));
  another->setToolTip(QStringLiteral("Pick the folder that holds the tables"));
  box->setDefaultButton(create);
  if (answering_ == kShowOnly) {
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    qWarning().noquote() << "tessaly:" << text;
    return MissingTables::GoOn;
  }
  box->exec();
  const QAbstractButton *clicked = box->clickedButton();
  delete box;
  return clicked == create ? MissingTables::CreateHere
         : clicked == another ? MissingTables::OpenAnother
                              : MissingTables::GoOn;
}

QString WidgetDialogs::folderName() {
  if (answering_ == kShowOnly) return {};
  return QFileDialog::getExistingDirectory(parent_, QStringLiteral("Folder of the tables"));
}

}  // namespace tables

