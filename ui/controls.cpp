#include "ui/controls.h"

#include "ui/fonts.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStylePainter>

#include <algorithm>

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

namespace {

// The width a line edit gives its text: inside its frame and its own margin
// of two pixels each side, less a pixel for the cursor.
int textWidth(const QLineEdit *box)
{
    QStyleOptionFrame option;
    option.initFrom(box);
    option.rect = box->rect();
    option.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box) : 0;
    const QRect contents = box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box);
    const QMargins margins = box->textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * 2 - 1;
}

}  // namespace

void showAsReadable(QLineEdit *box, int characters)
{
    QFont font = box->font();
    auto widest = [&font, characters] {  // the whole text: glyphs stand at fractions of a pixel
        const QFontMetrics metrics(font);
        QChar digit = u'0';
        for (const QChar c : QStringLiteral("123456789"))
            if (metrics.horizontalAdvance(c) > metrics.horizontalAdvance(digit))
                digit = c;
        return metrics.horizontalAdvance(QLatin1Char('+') + QString(characters - 1, digit));
    };
    while (widest() > textWidth(box) && font.pointSizeF() > 5.0)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    box->setFont(font);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Disabled, QPalette::Text, palette.color(QPalette::Active, QPalette::Text));
    palette.setColor(QPalette::Disabled, QPalette::Base, palette.color(QPalette::Active, QPalette::Base));
    box->setPalette(palette);
}

namespace {

// Qt paints a button's caption in the program's direction, not the
// button's; here in the button's, so that "Edit Msg." keeps its full stop.
class Button : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        painter.setLayoutDirection(layoutDirection());
        QStyleOptionButton option;
        initStyleOption(&option);
        painter.drawControl(QStyle::CE_PushButton, option);
    }
};

}  // namespace

QPushButton *addButton(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry)
{
    auto *button = new Button(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    shrinkFontToFit(button);
    return button;
}
