// The window at its default sizes: the fields the operator reads show their
// whole text, and every column of the grids is in view without scrolling.
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>

#include "app/tables/backup.h"
#include "app/tables/checktables.h"
#include "app/tables/grid.h"
#include "app/tables/logtab.h"
#include "app/tables/msgbox.h"
#include "app/tables/scanstab.h"
#include "app/tables/standardstab.h"
#include "tests/app/captions.h"
#include "tests/app/tables/tables_fixture.h"

namespace {

// The room a line edit has for its text: its width less the frame and the
// box's own margins.
int textRoom(const QLineEdit *edit) {
  const int frame = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit) : 0;
  constexpr int kLineEditMargin = 2;  // what QLineEdit keeps on each side
  const QMargins margins = edit->textMargins();
  return edit->width() - 2 * (frame + kLineEditMargin) - margins.left() - margins.right();
}

void expectWholeText(QLineEdit *edit, const QString &text) {
  edit->setText(text);
  EXPECT_LE(edit->fontMetrics().horizontalAdvance(text), textRoom(edit))
      << edit->objectName().toStdString() << " cuts \"" << text.toStdString() << '"';
}

// Every shown column of `grid` shows its heading and ends inside the view.
void expectColumnsInView(tables::Grid *grid, std::span<const tables::Column> columns) {
  const QHeaderView *header = grid->horizontalHeader();
  const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
  for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
    if (columns[c].widthTwips <= tables::kHiddenWidthTwips) continue;
    const QString heading = QLatin1String(columns[c].heading);
    EXPECT_LE(header->fontMetrics().horizontalAdvance(heading) + 2 * margin, header->sectionSize(c))
        << grid->objectName().toStdString() << " cuts " << heading.toStdString();
    EXPECT_LE(header->sectionViewportPosition(c) + header->sectionSize(c), grid->viewport()->width())
        << grid->objectName().toStdString() << " needs scrolling for " << heading.toStdString();
  }
  EXPECT_FALSE(grid->horizontalScrollBar()->isVisible()) << grid->objectName().toStdString();
}

class LayoutTest : public TablesTest {};

}  // namespace

TEST_F(LayoutTest, NamedFieldsShowTheirWholeTextAtTheDefaultSizes) {
  start();
  tables::LibraryCare care(&lumbra());
  // Their buttons share the rows of the Logs and Digital Standards tabs.
  tables::CheckTables check(window.get(), tabs.get(), &care, &dialogs);
  tables::WidgetBackupDialogs backupDialogs(window.get());
  tables::TableBackup backup(window->tabs()->widget(MainWindow::kStandardsTab), &lumbra(), &tabs->database(),
                             &backupDialogs, window.get());
  window->show();
  window->showFull();
  // Enough rows for the vertical scroll bar, which takes width from the columns.
  const tables::Rows rows(40, QStringList{"12/07/26 21:05", "14070.00", "Unknown Digital", "1", "2612072105",
                                          QString(90, QLatin1Char('n')), "X", "261207210509"});
  // Selecting a tab lists its table anew: the rows go in after it.
  auto showTab = [&](int tab, tables::Grid *grid) {
    window->tabs()->setCurrentIndex(tab);
    QApplication::processEvents();
    grid->setRows(rows);
    QApplication::processEvents();
  };
  showTab(MainWindow::kLogsTab, tabs->log().Grid1);
  const QImage picture = window->grab().toImage();
  EXPECT_EQ(picture.size(), window->size() * picture.devicePixelRatio());

  expectWholeText(p->TXTVolumeControl, "65535");
  p->VolumeControl->setValue(30000);
  expectWholeText(p->TXTVol, p->TXTVol->text());
  p->VolumeControl->setValue(65535);
  expectWholeText(p->TXTVol, p->TXTVol->text());
  expectWholeText(p->PortNum, "/home/operator/tessaly/run/rig-pty");
  expectWholeText(p->NewFrq, "14070.00");
  expectWholeText(tabs->log().UniKey, "261207210509");
  expectWholeText(tabs->log().Col0, "12/07/26 21:05");
  expectWholeText(tabs->log().Col4, "2612072105");
  expectWholeText(tabs->log().LogMode, "Unknown Digital");
  expectWholeText(tabs->scans().ScanUniKey, "261207210509");
  expectWholeText(tabs->scans().ScanDate, "12/07/26");

  expectColumnsInView(tabs->log().Grid1, tables::LogTab::kColumns);
  showTab(MainWindow::kScansTab, tabs->scans().Grid2);
  expectColumnsInView(tabs->scans().Grid2, tables::ScansTab::kColumns);
  showTab(MainWindow::kStandardsTab, tabs->standards().Grid3);
  expectColumnsInView(tabs->standards().Grid3, tables::StandardsTab::kColumns);

  // The controls above each grid sit side by side, each showing its text.
  for (int tab : {MainWindow::kLogsTab, MainWindow::kScansTab, MainWindow::kStandardsTab}) {
    QWidget *page = window->tabs()->widget(tab);
    std::vector<QWidget *> row;
    for (QWidget *w : page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
      if (!w->isHidden() && w->y() < 10) row.push_back(w);
    for (size_t i = 0; i < row.size(); ++i) {
      for (size_t j = i + 1; j < row.size(); ++j)
        EXPECT_FALSE(row[i]->geometry().intersects(row[j]->geometry()))
            << row[i]->objectName().toStdString() << " lies over " << row[j]->objectName().toStdString();
      EXPECT_LE(row[i]->geometry().right(), page->width()) << row[i]->objectName().toStdString();
      if (auto *button = qobject_cast<QPushButton *>(row[i])) {
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + margin, button->width())
            << button->objectName().toStdString() << " cuts " << button->text().toStdString();
      }
    }
  }

  // The entry frames' boxes are named on screen; the standards' hidden boxes are never shown.
  expectNamedOnScreen(tabs->log().LogFrm, {});
  expectNamedOnScreen(tabs->scans().ScanFram, {});
  expectNamedOnScreen(tabs->standards().Frame1, {"UNIKEYS", "DateTimes", "Text8"});
  for (QWidget *frame : std::initializer_list<QWidget *>{tabs->log().LogFrm, tabs->scans().ScanFram,
                                                          tabs->standards().Frame1})
    EXPECT_LE(frame->geometry().bottom(), frame->parentWidget()->height()) << frame->objectName().toStdString();

  tables::MsgBox question({"Correct Upper Case Text to Proper Case", 1, "Student Data - General Info.", "Y", 0});
  EXPECT_FALSE(question.Image3->toolTip().isEmpty());
  EXPECT_FALSE(question.Image4->toolTip().isEmpty());
}
