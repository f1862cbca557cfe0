#include "configfile/config_messages.h"

#include "configfile/config_text.h"

#include <QDir>
#include <QStringList>

namespace {

QString shownPath(const QString &path) { return QDir::toNativeSeparators(path); }

// Which rows a partial load changed: the ones before the record it stopped at.
QString filledChannelsText(int filled)
{
    if (filled <= 0)
        return ConfigFile::tr("No channel was changed.");
    const QString first = filled == 1
                              ? ConfigFile::tr("Channel 1 was filled from the file")
                              : ConfigFile::tr("Channels 1 to %1 were filled from the file").arg(filled);
    const int next = filled + 1;
    const QString rest = next == kChannelCount
                             ? ConfigFile::tr("channel %1 kept its previous value.").arg(next)
                             : ConfigFile::tr("channels %1 to %2 kept their previous values.")
                                   .arg(QString::number(next), QString::number(kChannelCount));
    return first + QStringLiteral("; ") + rest;
}

// "channel 3", "channels 3 and 7", "channels 3, 5 and 7".
QString channelsText(const QList<int> &channels)
{
    QStringList numbers;
    for (int channel : channels)
        numbers.append(QString::number(channel));
    if (numbers.size() == 1)
        return ConfigFile::tr("channel %1").arg(numbers.constFirst());
    const QString last = numbers.takeLast();
    return ConfigFile::tr("channels %1 and %2").arg(numbers.join(QStringLiteral(", ")), last);
}

} // namespace

QString cutTextsText(const ConfigReadResult &result)
{
    if (result.cutChannels.isEmpty())
        return {};
    return ConfigFile::tr("The file is not in the form Save writes, and the reading rules cut %1 at a double quote "
                          "inside a text: what followed that quote up to the end of its line was left out.")
        .arg(channelsText(result.cutChannels));
}

QString saveFailureText(const QString &path, const QString &reason)
{
    return ConfigFile::tr("The configuration could not be saved to \"%1\".\n\n%2\n\nThe file was left as it was.")
        .arg(shownPath(path), reason);
}

QString loadProblemText(const QString &path, const ConfigReadResult &result)
{
    const QString cut = cutTextsText(result);
    if (result.complete)
        return cut.isEmpty() ? QString()
                             : ConfigFile::tr("The configuration was loaded from \"%1\".\n\n%2\n\nCheck the channels named "
                                              "before writing to the device.")
                                   .arg(shownPath(path), cut);
    // Line 0: the file was never read (it could not be opened).
    const QString headline =
        result.line > 0
            ? ConfigFile::tr("The configuration could not be loaded completely from \"%1\".").arg(shownPath(path))
            : ConfigFile::tr("The configuration could not be loaded from \"%1\".").arg(shownPath(path));
    const QString reason = result.line > 0
                               ? ConfigFile::tr("Line %1: %2").arg(QString::number(result.line), result.error)
                               : result.error;
    return headline + QStringLiteral("\n\n") + reason + QStringLiteral("\n\n")
           + filledChannelsText(int(result.rows.size())) + (cut.isEmpty() ? QString() : QStringLiteral("\n\n") + cut);
}
