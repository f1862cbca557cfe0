#include "history/sheet.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <cmath>

namespace {

constexpr qreal kLargestPoints = 10;
constexpr qreal kSmallestPoints = 4.5;

struct Columns {
    qreal channel, enabled, phoneNo, message;  // left edges
    qreal right;
};

QString enabledText(bool enabled) { return enabled ? QStringLiteral("yes") : QStringLiteral("no"); }

// Height of every channel's row at the painter's current font.
QList<qreal> rowHeights(QPainter &painter, const Columns &c, const ChannelTable &table, qreal padding)
{
    QList<qreal> heights;
    const QFontMetricsF metrics(painter.font(), painter.device());
    // Lines of a text wrapped anywhere in `width`: each paragraph's advance, in widths.
    const auto lines = [&metrics](const QString &text, qreal width) {
        int count = 0;
        for (const QString &paragraph : text.split(QLatin1Char('\n')))
            count += std::max(1, int(std::ceil(metrics.horizontalAdvance(paragraph) / (width * 0.97))));
        return count;
    };
    for (const ChannelRow &row : table) {
        const int most = std::max(lines(row.phoneNo, c.message - c.phoneNo - padding),
                                  lines(sheetMessageText(row.message), c.right - c.message - padding));
        heights.append(most * metrics.lineSpacing() + padding);
    }
    return heights;
}

QFont pointFont(qreal points, bool bold = false)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

}  // namespace

QString sheetMessageText(const QString &message)
{
    QString text = message;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QString shown;
    for (const QChar ch : text) {
        if (ch.unicode() < 0x20 && ch != QLatin1Char('\n'))
            shown += QLatin1Char('^') + QChar(ch.unicode() + 0x40);
        else
            shown += ch;
    }
    return shown;
}

void paintSheet(QPainter &painter, const QRectF &page, const SheetContent &content)
{
    painter.save();
    const qreal unit = page.width() / 100;  // the page in hundredths of its width
    qreal y = page.top();
    painter.setFont(pointFont(16, true));
    const QFontMetricsF title(painter.font(), painter.device());
    painter.drawText(QPointF(page.left(), y + title.ascent()), QStringLiteral("Alarm modem configuration"));
    y += title.height() * 1.5;

    painter.setFont(pointFont(kLargestPoints));
    const QFontMetricsF body(painter.font(), painter.device());
    const QStringList facts{
        QStringLiteral("Date: %1").arg(content.date.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"))),
        QStringLiteral("Slave ID: %1").arg(content.slaveId ? QString::number(*content.slaveId) : QStringLiteral("-")),
        QStringLiteral("Table SHA-256: %1").arg(content.shortSha256)};
    painter.drawText(QPointF(page.left(), y + body.ascent()), facts.join(QStringLiteral("      ")));
    y += body.height() * 1.2;
    if (!content.source.isEmpty()) {
        painter.drawText(QPointF(page.left(), y + body.ascent()), QStringLiteral("From: %1").arg(content.source));
        y += body.height() * 1.2;
    }
    y += body.height();

    // The signature lines take the foot of the page; the channels the rest.
    const qreal footHeight = body.height() * 5;
    const Columns c{page.left(), page.left() + 9 * unit, page.left() + 19 * unit, page.left() + 43 * unit, page.right()};
    const qreal padding = unit * 0.8;
    qreal points = kLargestPoints;
    QList<qreal> heights;
    for (;; points -= 0.5) {
        painter.setFont(pointFont(points));
        heights = rowHeights(painter, c, content.table, padding);
        qreal total = QFontMetricsF(painter.font(), painter.device()).height() + padding;
        for (qreal h : heights)
            total += h;
        if (total <= page.bottom() - footHeight - y || points <= kSmallestPoints)
            break;
    }
    const QFontMetricsF cell(painter.font(), painter.device());
    const qreal headerHeight = cell.height() + padding;
    painter.setFont(pointFont(points, true));
    const QList<std::pair<qreal, QString>> header{{c.channel, QStringLiteral("Channel")}, {c.enabled, QStringLiteral("Enabled")},
                                                  {c.phoneNo, QStringLiteral("Phone number")}, {c.message, QStringLiteral("Message")}};
    for (const auto &[left, caption] : header)
        painter.drawText(QPointF(left, y + cell.ascent()), caption);
    y += headerHeight;
    painter.setFont(pointFont(points));
    for (int channel = 0; channel < kChannelCount; ++channel) {
        const ChannelRow &row = content.table[channel];
        painter.drawLine(QPointF(c.channel, y), QPointF(c.right, y));
        const qreal top = y + padding / 2;
        painter.drawText(QPointF(c.channel, top + cell.ascent()), QString::number(channel + 1));
        painter.drawText(QPointF(c.enabled, top + cell.ascent()), enabledText(row.enabled));
        painter.drawText(QRectF(c.phoneNo, top, c.message - c.phoneNo - padding, heights[channel]), Qt::TextWrapAnywhere, row.phoneNo);
        painter.drawText(QRectF(c.message, top, c.right - c.message - padding, heights[channel]), Qt::TextWrapAnywhere,
                         sheetMessageText(row.message));
        y += heights[channel];
    }
    painter.drawLine(QPointF(c.channel, y), QPointF(c.right, y));

    painter.setFont(pointFont(kLargestPoints));
    const qreal lineY = page.bottom() - body.height() * 1.5;
    const qreal half = page.width() / 2;
    for (const auto &[left, caption] : {std::pair{page.left(), QStringLiteral("Name")}, std::pair{page.left() + half, QStringLiteral("Signature")}}) {
        painter.drawText(QPointF(left, lineY - body.descent() - unit * 0.5), caption + QLatin1Char(':'));
        painter.drawLine(QPointF(left + body.horizontalAdvance(caption + QStringLiteral(":  ")), lineY),
                         QPointF(left + half - 4 * unit, lineY));
    }
    painter.restore();
}

bool writeSheetPdf(const QString &path, const SheetContent &content, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("Alarm modem configuration"));
        writer.setCreator(QStringLiteral("Telvarin"));
        QPainter painter(&writer);
        paintSheet(painter, QRectF(QPointF(0, 0), writer.pageLayout().paintRectPixels(writer.resolution()).size()), content);
    }
    if (!file.commit()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
