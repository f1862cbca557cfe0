#include "app/table_edits.h"

#include <QObject>
#include <QStringList>

QList<int> editedChannels(const ChannelTable &now, const ChannelTable &taken)
{
    QList<int> channels;
    for (int i = 0; i < kChannelCount; ++i)
        if (now[i] != taken[i])
            channels.append(i + 1);
    return channels;
}

QString channelsText(const QList<int> &channels)
{
    QStringList numbers;
    for (int channel : channels)
        numbers.append(QString::number(channel));
    if (numbers.size() == 1)
        return QObject::tr("channel %1").arg(numbers.constFirst());
    const QString last = numbers.takeLast();
    return QObject::tr("channels %1 and %2").arg(numbers.join(QStringLiteral(", ")), last);
}
