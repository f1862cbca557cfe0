#pragma once

#include "ui/controls.h"

#include <QString>

class QDialog;
class QKeyEvent;

// A fixed-size dialog with a title bar and a close box only; the client area
// is given in twips.
void setUpFixedDialog(QDialog *dialog, const QString &title, int widthTwips, int heightTwips);

// Enter or Return on a button that has the keyboard focus presses that very
// button, never the window's default one. True when the key was used.
bool pressFocusedButton(QWidget *window, QKeyEvent *event);
