#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QDialog;
class QLabel;
class QPushButton;
class QWidget;

// Building blocks shared by the editing dialogs, so both look and behave alike.

// A fixed-size dialog with a title bar and a close box only; the client area
// is given in twips.
void setUpFixedDialog(QDialog *dialog, const QString &title, int widthTwips, int heightTwips);

// A caption whose font shrinks if a stand-in face would clip it.
QLabel *addLabel(QWidget *parent, const char *name, const QString &caption, const QRect &geometry,
                 const QFont &font, Qt::Alignment alignment);

void setTextColour(QWidget *widget, const QColor &colour);

// A push button that never makes itself the dialog's default button when it
// takes the focus: Enter is meant for the default button or the text box.
QPushButton *addButton(QWidget *parent, const char *name, const QString &caption, const QRect &geometry);
