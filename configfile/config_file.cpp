#include "configfile/config_file.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

FileResult saveConfigFile(const QString &path, const ChannelTable &rows)
{
    // QSaveFile writes a temporary file next to the target and renames it
    // over the target only on commit; cancelling removes the temporary.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString()};
    const QByteArray bytes = formatConfig(rows);
    // commit() ignores a failure of its own final flush and would put a
    // truncated file in place, so everything is flushed and checked first.
    // A short write without an error leaves errorString() empty-handed.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QCoreApplication::translate(
                                         "ConfigFile", "Only part of the file could be written.");
        file.cancelWriting();
        return {false, reason};
    }
    if (!file.commit())
        return {false, file.errorString()};
    return {true, {}};
}

ConfigReadResult loadConfigFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ConfigReadResult result;
        result.error = file.errorString();
        return result;
    }
    return readConfig(file);
}
