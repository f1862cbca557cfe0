#include "ui/fonts.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>

void installFontSubstitutes()
{
    const QStringList sans = {"Liberation Sans", "Arial", "DejaVu Sans"};
    QFont::insertSubstitutions("MS Sans Serif", sans);
    QFont::insertSubstitutions("Arial Rounded MT Bold", sans);
    QFont::insertSubstitutions("Arial", {"Liberation Sans", "DejaVu Sans"});
}

static QFont makeFont(const QString &family, double pointSize, bool bold)
{
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont sansSerifFont(double pointSize, bool bold) { return makeFont("MS Sans Serif", pointSize, bold); }
QFont arialRoundedFont(double pointSize, bool bold) { return makeFont("Arial Rounded MT Bold", pointSize, bold); }
QFont arialFont(double pointSize, bool bold) { return makeFont("Arial", pointSize, bold); }

// Width the caption needs inside the widget, in the widget's current font.
static int neededWidth(const QWidget *widget, const QString &text)
{
    const QFontMetrics metrics(widget->font());
    const int textWidth = metrics.horizontalAdvance(text);
    if (qobject_cast<const QGroupBox *>(widget))
        return textWidth + 16;  // title indent and frame
    if (auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        if (button->inherits("QCheckBox")) {
            const int indicator = widget->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget);
            const int spacing = widget->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, widget);
            return indicator + spacing + textWidth + 2;
        }
        return textWidth + 6;  // button bevel
    }
    return textWidth;
}

static QString caption(const QWidget *widget)
{
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text().remove('&');
    if (auto *box = qobject_cast<const QGroupBox *>(widget))
        return box->title().remove('&');
    return {};
}

void shrinkFontToFit(QWidget *widget)
{
    const QString text = caption(widget);
    if (text.isEmpty())
        return;
    QFont font = widget->font();
    while (neededWidth(widget, text) > widget->width() && font.pointSizeF() > 5.0) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
        widget->setFont(font);
    }
}
