#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where a window of the given outer size goes on a screen's available area:
// centred, except that its left and top edges never leave the screen. On a
// screen narrower than the window the right part is cut off, never the left
// one with the port list and Connect.
QPoint startPosition(const QRect &available, const QSize &window);
