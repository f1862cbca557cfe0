#include "cli/unit_job.h"

#include "configfile/config_file.h"
#include "configfile/config_messages.h"
#include "configfile/output_file.h"
#include "transfer/device_write.h"

#include <QFileInfo>

namespace {

// Why the request cannot be written as it is (a text the modem cannot hold
// or give back), each line with the file's name; empty when it can.
QStringList writeProblemLines(const QString &file, const WriteRequest &request)
{
    QStringList lines;
    for (const QString &problem : writeProblems(request))
        lines.append(QStringLiteral("%1: %2").arg(file, problem));
    return lines;
}

// Why a read's table could not be saved at `file`, known before the modem is
// asked: a read of several seconds must not end in a refusal. Empty when it can.
QString outputProblem(const QString &file)
{
    if (const QString problem = outputRefusal(file); !problem.isEmpty())
        return problem;
    const QFileInfo folder(QFileInfo(file).absolutePath());
    if (!folder.isDir())
        return QStringLiteral("The folder %1 does not exist.").arg(folder.filePath());
    if (!folder.isWritable())
        return QStringLiteral("The folder %1 cannot be written to.").arg(folder.filePath());
    return {};
}

}  // namespace

std::optional<ChannelTable> loadWholeFile(const QString &path, QString *error)
{
    const ConfigReadResult result = loadConfigFile(path);
    if (!result.complete) {
        *error = result.line > 0 ? QStringLiteral("%1: line %2: %3").arg(path).arg(result.line).arg(result.error)
                                 : QStringLiteral("%1: %2").arg(path, result.error);
        return std::nullopt;
    }
    // A text the reading rules cut is a guess: it never goes to a modem.
    if (const QString cut = cutTextsText(result); !cut.isEmpty()) {
        *error = QStringLiteral("%1: %2 Nothing was sent to the modem.").arg(path, cut);
        return std::nullopt;
    }
    ChannelTable table;
    for (int channel = 0; channel < kChannelCount; ++channel)
        table[channel] = result.rows[channel];
    return table;
}

std::optional<UnitJob> prepareUnit(Invocation::Command command, const UnitTarget &unit, LoadedTables &loaded,
                                   QStringList *errors)
{
    UnitJob job{command, unit, {}};
    if (command == Invocation::Read) {
        if (unit.file == QLatin1String("-"))
            return job;
        if (const QString problem = outputProblem(unit.file); !problem.isEmpty()) {
            errors->append(QStringLiteral("%1: %2 Nothing was read.").arg(unit.file, problem));
            return std::nullopt;
        }
        return job;
    }
    job.table = loaded.value(unit.file);
    if (!job.table) {
        QString error;
        const std::optional<ChannelTable> table = loadWholeFile(unit.file, &error);
        if (!table) {
            errors->append(error);
            return std::nullopt;
        }
        job.table = std::make_shared<const ChannelTable>(*table);
        loaded.insert(unit.file, job.table);
    }
    // Refused where the window refuses, before the port is even opened; for
    // verify, a text that a Write would refuse can never be read back as the file has it.
    const QStringList problems = writeProblemLines(unit.file, WriteRequest{unit.slaveId.value_or(kFirstSlaveId), *job.table});
    errors->append(problems);
    return problems.isEmpty() ? std::optional<UnitJob>(job) : std::nullopt;
}
