#pragma once

#include <QColor>

class QProgressBar;
class QWidget;

// The progress bar every long job drives: one bar, created at start-up inside its host, kept for
// the whole run and destroyed at shut-down. A null handle (creation failed) makes every call a
// no-op.
namespace mProgress {

using ProgressHandle = QProgressBar*;

// Style bit: draw the bar as one smooth block rather than segments.
constexpr int PBS_SMOOTH = 1;

ProgressHandle ProgressCreate(int style, int x, int y, int width, int height, QWidget* host);
void ProgressDestroy(ProgressHandle handle);
void ProgressSetRange(ProgressHandle handle, int low, int high);
// Setting the position it already has costs nothing: no repaint.
void ProgressSetPos(ProgressHandle handle, int position);
void ProgressSetBarColor(ProgressHandle handle, QColor color);
void ProgressSetBkColor(ProgressHandle handle, QColor color);

} // namespace mProgress
