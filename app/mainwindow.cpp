#include "app/mainwindow.h"

MainWindow::MainWindow(QWidget *parent) : QWidget(parent) {
  setObjectName("Tessaly");
  setWindowTitle("Tessaly");
}
