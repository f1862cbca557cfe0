#include "cli/unit_report.h"

#include <algorithm>

QString resultName(UnitResult::Result result)
{
    switch (result) {
    case UnitResult::Ok:
        return QStringLiteral("ok");
    case UnitResult::Differs:
        return QStringLiteral("differs");
    case UnitResult::NoAnswer:
        return QStringLiteral("no-answer");
    case UnitResult::Incomplete:
        return QStringLiteral("incomplete");
    case UnitResult::Failed:
        return QStringLiteral("failed");
    case UnitResult::Interrupted:
        return QStringLiteral("interrupted");
    }
    return {};
}

QString summaryTable(const QList<UnitResult> &results)
{
    qsizetype width = 4;
    for (const UnitResult &result : results)
        width = std::max(width, result.label.size());
    auto row = [width](const QString &unit, const QString &slaveId, const QString &outcome, const QString &time) {
        return unit.leftJustified(width + 2) + slaveId.leftJustified(10) + outcome.leftJustified(13) + time + QLatin1Char('\n');
    };
    QString table = row(QStringLiteral("Unit"), QStringLiteral("Slave ID"), QStringLiteral("Result"), QStringLiteral("Time"));
    for (const UnitResult &result : results) {
        table += row(result.label, result.slaveId ? QString::number(*result.slaveId) : QStringLiteral("-"),
                     resultName(result.result), QStringLiteral("%1 s").arg(double(result.durationMs) / 1000.0, 0, 'f', 1));
    }
    return table;
}

int runExitCode(const QList<UnitResult> &results)
{
    int code = kExitOk;
    for (const UnitResult &result : results)
        code = std::max(code, result.exitCode);
    return code;
}
