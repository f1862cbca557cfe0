#include "transfer/write_check.h"

#include <QObject>
#include <QStringList>

WriteCheck checkWrite(TransferHost &host, const WriteRequest &request)
{
    WriteCheck check;
    host.setProgress(0);
    check.reading.outcome = runDeviceRead(host, check.reading);
    if (check.reading.outcome.status == ReadOutcome::Completed)
        check.differences = compareWithModem(request.rows, request.slaveId, check.reading);
    return check;
}

QString writeCheckText(const WriteCheck &check)
{
    if (check.reading.outcome.status == ReadOutcome::NoAnswer)
        return QObject::tr("All %1 commands reached the line, but the device did not answer when it was read back, "
                           "so it is not known what it holds. Read from Device to see, or Write again.")
            .arg(kWriteCommandCount);
    if (check.reading.outcome.status == ReadOutcome::Stopped)
        return QObject::tr("All %1 commands reached the line; the check that reads them back stopped, so it is not "
                           "known what the device holds.")
            .arg(kWriteCommandCount);
    if (!check.differs())
        return {};
    QStringList lines{QObject::tr("The device does not hold what was written. Write again; if it still differs, "
                                  "check the device's power and the cable.")};
    lines.append(QString());
    for (const Difference &difference : check.differences)
        lines.append(differenceLine(difference, QStringLiteral("table")));
    return lines.join(QLatin1Char('\n'));
}
