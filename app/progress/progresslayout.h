// Where the progress windows of the libraries put their texts: the window
// size, the Stop button and the place and colour of every line, for each
// layout of util/progress/progress.h.
#ifndef TESSALY_APP_PROGRESS_PROGRESSLAYOUT_H
#define TESSALY_APP_PROGRESS_PROGRESSLAYOUT_H

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

#include "util/progress/progress.h"

namespace progress {

struct LineSpot {
  QPoint at;      // top left of the text
  QColor colour;
};

struct LayoutGeometry {
  QPoint position;  // of the window on the screen
  QSize size;
  QRect stop;       // the Stop button
  QColor background;
  std::vector<LineSpot> lines;
};

const LayoutGeometry &geometryOf(corvex::ProgressLayout layout);

// What a change of `line` repaints: the maintenance window's 25-pixel band
// of that line across the window, the archive window's band of both rows.
QRect bandOf(corvex::ProgressLayout layout, int line);

}  // namespace progress

#endif
