#include "app/progress/progresslayout.h"

namespace progress {

namespace {

const QColor kGrey(0xC0, 0xC0, 0xC0);

LayoutGeometry fileMaint() {
  LayoutGeometry g{QPoint(50, 50), QSize(500, 215), QRect(222, 165, 55, 20), kGrey, {}};
  for (int i = 0; i < corvex::kFmLineCount; i++)
    g.lines.push_back({QPoint(10, 10 + 25 * i), i == corvex::kFmAction ? QColor(0, 0, 0xFF) : QColor(Qt::black)});
  return g;
}

LayoutGeometry compress() {
  LayoutGeometry g{QPoint(50, 50), QSize(225, 125), QRect(85, 70, 55, 20), kGrey, {}};
  g.lines = {{QPoint(8, 10), Qt::black}, {QPoint(175, 10), Qt::black}, {QPoint(8, 40), Qt::black},
             {QPoint(175, 40), Qt::black}};
  return g;
}

}  // namespace

const LayoutGeometry &geometryOf(corvex::ProgressLayout layout) {
  static const LayoutGeometry kFileMaint = fileMaint();
  static const LayoutGeometry kCompress = compress();
  return layout == corvex::ProgressLayout::kFileMaint ? kFileMaint : kCompress;
}

QRect bandOf(corvex::ProgressLayout layout, int line) {
  if (layout == corvex::ProgressLayout::kCompress) return QRect(QPoint(0, 10), QPoint(224, 60));
  return QRect(0, 10 + 25 * line, 500, 25);
}

}  // namespace progress
