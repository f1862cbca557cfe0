#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Building blocks shared by every window, so all of them look and behave alike.

// A plain-text caption whose font shrinks if a stand-in face would clip it.
QLabel *addLabel(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry,
                 const QFont &font, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);

void setTextColour(QWidget *widget, const QColor &colour);

// A push button that never makes itself the default button when it takes
// the focus: Enter is meant for the default button or the text box.
QPushButton *addButton(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry);

// The windows are drawings with English captions, left to right: in a
// right-to-left layout (-reverse) a caption would read ".Edit Msg".
void keepLeftToRight(QWidget *window);

// A box the operator cannot type into that still shows text of `characters`
// digits whole and readable: its font shrinks until they fit, and its text
// keeps the colour of an enabled box, not the grey of a disabled one.
void showAsReadable(QLineEdit *box, int characters);
