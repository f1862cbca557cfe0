#include "history/history_filter.h"

#include <QRegularExpression>
#include <QTimeZone>

QString normalPortName(const QString &port)
{
    static const QRegularExpression comNumber(QStringLiteral("^(?:COM ?)?([0-9]{1,3})$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comNumber.match(port.trimmed());
    return match.hasMatch() ? QStringLiteral("COM %1").arg(match.captured(1).toInt()) : port;
}

QDateTime parseSinceDate(const QString &text)
{
    // QDate reads the date in front of a time too: only a date alone is a day.
    const QDate day = QDate::fromString(text, Qt::ISODate);
    if (day.isValid() && text.size() == 10)
        return QDateTime(day, QTime(0, 0), QTimeZone::utc());
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid() && time.timeSpec() == Qt::LocalTime && !text.endsWith(QLatin1Char('Z')))
        time.setTimeZone(QTimeZone::utc());
    return time.toUTC();
}

QString storedTime(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}
