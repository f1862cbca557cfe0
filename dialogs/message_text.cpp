#include "dialogs/message_text.h"

QString toBoxText(const QString &text)
{
    QString box = text;
    box.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QChar breakChar : {QChar(u'\r'), QChar(QChar::LineSeparator), QChar(QChar::ParagraphSeparator)})
        box.replace(breakChar, u'\n');
    return box;
}

QString toStoredMessage(const QString &boxText)
{
    QString stored = boxText;
    stored.replace(u'\n', QStringLiteral("\r\n"));
    return stored;
}

int storedLength(const QString &boxText)
{
    return static_cast<int>(boxText.size() + boxText.count(u'\n'));
}

QString fitToRoom(const QString &boxText, int room)
{
    qsizetype end = 0;
    int used = 0;
    while (end < boxText.size()) {
        const QChar c = boxText.at(end);
        // A surrogate pair is one character on screen: keep it whole or drop it.
        const qsizetype units = c.isHighSurrogate() && end + 1 < boxText.size() ? 2 : 1;
        const int cost = c == u'\n' ? 2 : static_cast<int>(units);
        if (used + cost > room)
            break;
        used += cost;
        end += units;
    }
    return boxText.first(end);
}

QString counterCaption(int storedLength)
{
    return QString::number(storedLength) + QStringLiteral("/") + QString::number(kMessageLimit);
}
