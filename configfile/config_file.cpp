#include "configfile/config_file.h"

#include "configfile/config_text.h"
#include "configfile/regular_file.h"
#include "configfile/savable_check.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

FileResult saveConfigFile(const QString &path, const ChannelTable &rows)
{
    // QSaveFile writes a temporary file next to the target and renames it
    // over the target only on commit; cancelling removes the temporary.
    if (const QString problem = saveTargetProblem(path); !problem.isEmpty())
        return {false, problem};
    const SavableFile savable = savableFile(rows);
    if (!savable.refusal.isEmpty())
        return {false, savable.refusal + QLatin1Char(' ') + configText("Change that text, then save again.")};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString()};
    const QByteArray &bytes = savable.bytes;
    // commit() ignores a failure of its own final flush and would put a
    // truncated file in place, so everything is flushed and checked first.
    // After a short write (the disk or the file size limit reached) Qt
    // reports only "Unknown error"; the system's reason is still in errno.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const int failure = errno;
        const QString reason = failure != 0 ? QString::fromLocal8Bit(std::strerror(failure))
                               : file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : configText("Only part of the file could be written.");
        file.cancelWriting();
        return {false, reason};
    }
    if (!file.commit())
        return {false, file.errorString()};
    return {true, {}};
}

ConfigReadResult loadConfigFile(const QString &path)
{
    QFile file;
    QString error;
    if (!openRegularFileForReading(file, path, &error)) {
        ConfigReadResult result;
        result.error = error;
        return result;
    }
    return readConfig(file);
}
