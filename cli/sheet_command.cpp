#include "cli/sheet_command.h"

#include "cli/cli_output.h"
#include "cli/exit_codes.h"
#include "cli/invocation.h"
#include "cli/unit_job.h"
#include "configfile/saved_form_reader.h"
#include "history/history_store.h"
#include "history/sheet.h"
#include "history/table_digest.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

QtMessageHandler passOn = nullptr;

void withoutRuntimeFolderNote(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    passOn(type, context, message);
}

int usage(const QString &why)
{
    printError(why + QStringLiteral(" (see telvarin-cli --help)"));
    return kExitUsage;
}

int failure(const QString &why)
{
    printError(why);
    return kExitUsage;
}

// --history is the record's ID where it is a number, and the store to look
// in otherwise ("./41" for a store file named by digits).
struct HistoryChoice {
    std::optional<qint64> id;
    QString store;
    QString error;
};

HistoryChoice historyChoice(const QStringList &values)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    HistoryChoice choice;
    for (const QString &value : values) {
        if (!digits.match(value).hasMatch()) {
            if (!choice.store.isEmpty())
                choice.error = QStringLiteral("sheet takes one history store");
            choice.store = value;
        } else if (choice.id || value.toLongLong() < 1) {
            choice.error = choice.id ? QStringLiteral("sheet takes one record ID") : QStringLiteral("record IDs start at 1");
        } else {
            choice.id = value.toLongLong();
        }
    }
    return choice;
}

std::optional<SheetContent> recordSheet(const HistoryChoice &choice, QString *error)
{
    const HistoryTarget target = historyTarget(choice.store, false, error);
    if (!error->isEmpty())
        return std::nullopt;
    HistoryStore store(target);
    if (!store.open(HistoryStore::Look, error))
        return std::nullopt;
    const std::optional<HistoryRecord> record = store.find(*choice.id, error);
    if (!record) {
        if (error->isEmpty())
            *error = QStringLiteral("history %1 holds no record %2").arg(target.shown()).arg(*choice.id);
        return std::nullopt;
    }
    const std::optional<ChannelTable> table = readSavedForm(record->table);
    if (!table) {
        *error = QStringLiteral("record %1 holds no table: the modem's was not read whole (%2)").arg(*choice.id).arg(record->result);
        return std::nullopt;
    }
    return SheetContent{record->time, record->slaveId, *table, shortSha256(record->tableSha256),
                        QStringLiteral("record %1, %2 on %3 by %4@%5").arg(*choice.id).arg(record->command,
                            record->portLabel.isEmpty() ? record->port : record->portLabel, record->user, record->host)};
}

}  // namespace

int runSheet(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOptions({{QStringList{QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE")},
                       {QStringLiteral("history"), QString(), QStringLiteral("ID")},
                       {QStringLiteral("slave-id"), QString(), QStringLiteral("N")}});
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    const QStringList files = parser.positionalArguments().mid(1);
    const HistoryChoice choice = historyChoice(parser.values(QStringLiteral("history")));
    if (!choice.error.isEmpty())
        return usage(choice.error);
    if (files.size() > 1)
        return usage(QStringLiteral("sheet: unexpected argument \"%1\"").arg(files.last()));
    if (files.isEmpty() == !choice.id)
        return usage(QStringLiteral("sheet needs either a configuration FILE or --history ID"));
    if (!parser.isSet(QStringLiteral("output")))
        return usage(QStringLiteral("sheet needs --output SHEET.pdf"));
    if (choice.id && parser.isSet(QStringLiteral("slave-id")))
        return usage(QStringLiteral("sheet --history takes the slave ID from the record, not --slave-id"));

    QString error;
    std::optional<SheetContent> content;
    if (choice.id) {
        content = recordSheet(choice, &error);
    } else {
        std::optional<int> slaveId;
        if (parser.isSet(QStringLiteral("slave-id")) && !(slaveId = parseSlaveId(parser.value(QStringLiteral("slave-id")))))
            return usage(QStringLiteral("--slave-id \"%1\" is not a slave ID").arg(parser.value(QStringLiteral("slave-id"))));
        if (const std::optional<ChannelTable> table = loadWholeFile(files.first(), &error))
            content = SheetContent{QDateTime::currentDateTimeUtc(), slaveId, *table,
                                   shortSha256(digestTable(*table).sha256), files.first()};
    }
    if (!content)
        return failure(error);
    if (!writeSheetPdf(parser.value(QStringLiteral("output")), *content, &error))
        return failure(error);
    return kExitOk;
}

std::unique_ptr<QGuiApplication> sheetApplication(int &argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    passOn = qInstallMessageHandler(withoutRuntimeFolderNote);
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    qInstallMessageHandler(passOn);
    return app;
}
