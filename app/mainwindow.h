// The Tessaly main window: the radio panel and the table tabs.
#ifndef TESSALY_APP_MAINWINDOW_H
#define TESSALY_APP_MAINWINDOW_H

#include <QWidget>

class MainWindow : public QWidget {
  Q_OBJECT
public:
  explicit MainWindow(QWidget *parent = nullptr);
};

#endif
