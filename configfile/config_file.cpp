#include "configfile/config_file.h"

#include "configfile/config_text.h"
#include "configfile/output_file.h"
#include "configfile/regular_file.h"
#include "configfile/savable_check.h"

#include <QFile>

FileResult saveConfigFile(const QString &path, const ChannelTable &rows)
{
    const SavableFile savable = savableFile(rows);
    if (!savable.refusal.isEmpty())
        return {false, savable.refusal + QLatin1Char(' ') + ConfigFile::tr("Change that text, then save again.")};
    // Written beside the target and renamed over it only when whole: a
    // failed save leaves the old file as it was.
    OutputFile file;
    if (!file.open(path) || !file.write(savable.bytes) || !file.commit())
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
