#include "ui/controls.h"

#include "ui/fonts.h"

#include <QLabel>
#include <QPushButton>

QLabel *addLabel(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry,
                 const QFont &font, Qt::Alignment alignment)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
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

void keepLeftToRight(QWidget *window) { window->setLayoutDirection(Qt::LeftToRight); }

QPushButton *addButton(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    shrinkFontToFit(button);
    return button;
}
