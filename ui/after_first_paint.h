#pragma once

#include <functional>

class QWidget;

// Runs work once, just after the widget is first painted: for what the
// first frame does not show, so that the window is not kept from the screen.
void afterFirstPaint(QWidget *widget, std::function<void()> work);
