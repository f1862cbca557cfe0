#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where a window of the given outer size goes on a screen's available area:
// centred, except that its left and top edges never leave the screen. On a
// screen narrower than the window the right part is cut off, never the left
// one with the port list and Connect.
QPoint startPosition(const QRect &available, const QSize &window);

// The outer size of a window whose content has the given size, on a screen
// with `room` for it: the content's size where it fits; else as much as
// fits, with scroll bars of `bar` pixels where the content is cut.
QSize fittedWindowSize(const QSize &content, const QSize &room, int bar);

// Where a window of the given outer size goes so that `keep` stays in view:
// just below it, or just above where the screen has no room below; centred
// on it across, inside the screen.
QPoint clearOf(const QRect &keep, const QSize &window, const QRect &available);
