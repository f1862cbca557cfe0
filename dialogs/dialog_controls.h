#pragma once

#include "ui/controls.h"

#include <QString>

class QDialog;

// A fixed-size dialog with a title bar and a close box only; the client area
// is given in twips.
void setUpFixedDialog(QDialog *dialog, const QString &title, int widthTwips, int heightTwips);
