#include "dialogs/dialog_controls.h"

#include "app/fonts.h"
#include "app/twips.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

void setUpFixedDialog(QDialog *dialog, const QString &title, int widthTwips, int heightTwips)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                           | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog->setWindowTitle(title);
    dialog->setFixedSize(twipsRect(0, 0, widthTwips, heightTwips).size());
    dialog->setFont(sansSerifFont(8.25));
}

QLabel *addLabel(QWidget *parent, const char *name, const QString &caption, const QRect &geometry,
                 const QFont &font, Qt::Alignment alignment)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(alignment);
    shrinkFontToFit(label);
    return label;
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QPushButton *addButton(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    shrinkFontToFit(button);
    return button;
}
