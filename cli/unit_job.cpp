#include "cli/unit_job.h"

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/serial_host.h"
#include "cli/stop_signals.h"
#include "transfer/device_write.h"

#include <QElapsedTimer>

std::optional<UnitJob> prepareUnit(Invocation::Command command, const UnitSpec &unit, LoadedTables &loaded,
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

UnitResult runUnit(const UnitJob &job, const UnitProgress &progress)
{
    QElapsedTimer clock;
    clock.start();
    UnitResult result;
    result.port = job.unit.port;
    result.label = job.unit.port;
    result.slaveId = job.unit.slaveId;
    result.file = job.unit.file;
    SerialHost host;
    host.link().setEndOnWholeReply(job.fast);
    host.setProgressSink(progress.percent);
    QString error;
    if (!host.open(job.unit.port, &error)) {
        result.errors.append(error);
        result.exitCode = kExitUsage;
        // Ctrl-C while a network port was still connecting.
        if (const int signal = stopSignal()) {
            result.result = UnitResult::Interrupted;
            result.exitCode = exitForSignal(signal);
        }
    } else {
        result.label = host.label();
        result.device = host.device();
        if (progress.opened)
            progress.opened(result.label);
        if (job.command == Invocation::Read)
            readUnit(host, job, result);
        else if (job.command == Invocation::Write)
            writeUnit(host, job, result);
        else
            verifyUnit(host, job, result);
    }
    result.durationMs = clock.elapsed();
    return result;
}
