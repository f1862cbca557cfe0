#include "ui/captioned_frame.h"

#include <QPainter>
#include <QStyle>

void CaptionedFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setLayoutDirection(layoutDirection());  // else the program's
    const QFontMetrics metrics(font());
    const int line = metrics.height() / 2;
    // An etched line: a shadow line with a light one just inside and below it.
    const QRect border(0, line, width() - 2, height() - line - 2);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(border.translated(1, 1));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(border);

    const QString caption = title();
    if (caption.isEmpty())
        return;
    const int indent = metrics.averageCharWidth();
    const QRect captionRect(indent, 0, metrics.horizontalAdvance(caption) + 4, metrics.height());
    painter.fillRect(captionRect, palette().brush(backgroundRole()));
    style()->drawItemText(&painter, captionRect, Qt::AlignCenter | Qt::TextShowMnemonic, palette(), isEnabled(),
                          caption, foregroundRole());
}
