// The history as telvarin-cli keeps and asks it: one record for each unit,
// the filtered list, a record's table, the sheet, and a store that is
// locked, read-only, full, corrupt or of the first schema version.
#include "history/history_recorder.h"
#include "history/history_store.h"
#include "history/history_writer.h"
#include "sim_fixture.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A unit's table in the saved form, written out by hand: channel 1 on with
// a number and a two-line message, channel 16 on with a comma in its text.
QByteArray siteFile()
{
    QByteArray bytes = "1\r\n\"+911234567890\"\r\n\"Gas leak\r\nexit now\"\r\n";
    for (int channel = 2; channel <= 15; ++channel)
        bytes += "0\r\n\"\"\r\n\"\"\r\n";
    return bytes + "1\r\n\"5550001\"\r\n\"Fire, hall B\"\r\n";
}

QString sha256(const QByteArray &bytes) { return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()); }

QJsonArray records(const CliRun &run) { return QJsonDocument::fromJson(run.out.toUtf8()).object()["records"].toArray(); }

// One record's members that a test can know beforehand.
QString summary(const QJsonValue &record)
{
    const QJsonObject r = record.toObject();
    return QStringList{r["command"].toString(), r["result"].toString(), r["port"].toString(),
                       r["slaveId"].isNull() ? "-" : QString::number(r["slaveId"].toInt()),
                       QFileInfo(r["file"].toString()).fileName(), r["tableSha256"].toString().left(12),
                       QJsonDocument(r["failedFields"].toArray()).toJson(QJsonDocument::Compact),
                       QJsonDocument(r["differences"].toArray()).toJson(QJsonDocument::Compact)}.join(' ');
}

int permissions(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

// Runs the command line in a mount namespace of its own, where `script`
// (sh) first mounts a small tmpfs at $1 and prepares it.
QStringList inOwnMount(const QString &folder, const QString &script, const QStringList &cli)
{
    return QStringList{::geteuid() == 0 ? "-m" : "-rm", "sh", "-c", script + " && shift && exec \"$@\"", "sh", folder} + cli;
}

}  // namespace

class HistoryTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        history_.clear();
        port_ = std::make_unique<SimulatedPort>();
        port_->modem->setPaceAtLineRate(false);
        work_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(file("data/telvarin")));
        QVERIFY(QFile::link(port_->directory(), file("data/telvarin/ports")));
        QVERIFY(writeFile(file("site.txt"), siteFile()));
    }
    void cleanup()
    {
        port_.reset();
        work_.reset();
    }

    // Every unit's record, newest first, as --json lists it; a record's table restores the unit.
    void recordsEveryUnit()
    {
        QCOMPARE(run({"write", "--port", "1", "--slave-id", "7", file("site.txt")}).exitCode, 0);
        QCOMPARE(run({"verify", "--fast", "--port", "COM1", "--slave-id", "8", file("site.txt")}).exitCode, 1);
        port_->modem->setAnswerMemoryReads(false);
        QCOMPARE(run({"read", "--fast", "--port", "1", "-q"}).exitCode, 1);
        QCOMPARE(run({"read", "--port", file("no-such-tty"), "--output", file("out.txt")}).exitCode, 2);
        QCOMPARE(run({"read", "--port", "1", "--no-history", "--output", file("out.txt")}).exitCode, 1);

        const CliRun listed = run({"history", "--json"});
        const QJsonArray list = records(listed);
        const QString site = sha256(siteFile()).left(12);
        QStringList missed;
        for (int n = 1; n <= 16; ++n)
            missed << QString("{\"channel\":%1,\"field\":\"phone number\"}").arg(n);
        for (int n = 1; n <= 16; ++n)
            missed << QString("{\"channel\":%1,\"field\":\"message\"}").arg(n);
        QStringList summaries{QString::number(listed.exitCode)};
        for (const QJsonValue &record : list)
            summaries << summary(record);
        const QStringList expected{"0",
            QString("read failed %1 - out.txt  [] []").arg(file("no-such-tty")),
            "read incomplete COM 1 7   [" + missed.join(',') + "] []",
            "verify differs COM 1 8 site.txt " + site + " [] [{\"channel\":null,\"field\":\"slave ID\",\"file\":8,\"modem\":7}]",
            "write ok COM 1 7 site.txt " + site + " [] []"};
        QCOMPARE(summaries, expected);
        const QJsonObject write = list[3].toObject();
        QCOMPARE(write["tableSha256"].toString(), sha256(siteFile()));
        QVERIFY(write["label"].toString().startsWith("COM 1 (") && write["program"] == "telvarin-cli");
        QVERIFY(!write["user"].toString().isEmpty() && !write["host"].toString().isEmpty());
        QVERIFY(QDateTime::fromString(write["time"].toString(), "yyyy-MM-dd HH:mm:ss'Z'").secsTo(QDateTime::currentDateTimeUtc()) < 600);

        const CliRun shown = run({"history", "show", QString::number(write["id"].toInteger())});
        QCOMPARE(shown.said(), "0 " + siteFile());
        const CliRun noTable = run({"history", "show", QString::number(list[1].toObject()["id"].toInteger())});
        QVERIFY2(noTable.exitCode == 2 && noTable.err.contains("holds no table"), qPrintable(noTable.said()));
        QCOMPARE(run({"history", "show", "999"}).exitCode, 2);

        // Elsewhere: --history, then TELVARIN_HISTORY; folders and file for the owner alone.
        QCOMPARE(run({"read", "--port", "1", "-q", "--history", file("private/deep/h.sqlite")}).exitCode, 1);
        history_ = QString(file("private/deep/h.sqlite"));
        QCOMPARE(records(run({"history", "--json"})).size(), 1);
        QCOMPARE(QList<int>({permissions(file("private")), permissions(file("private/deep")), permissions(file("private/deep/h.sqlite"))}),
                 QList<int>({0700, 0700, 0600}));
    }

    void listFilters()
    {
        const HistoryTarget target = parseHistoryTarget(file("list.sqlite"), nullptr);
        struct Row { const char *time, *port, *device; int slaveId; const char *result; };
        const Row rows[] = {{"2024-03-01T08:00:00", "COM 1", "/dev/ttyUSB0", 1, "ok"},
                            {"2024-03-01T09:00:00", "COM 2", "/dev/ttyUSB1", 2, "differs"},
                            {"2024-03-01T10:00:00", "/dev/ttyUSB1", "/dev/ttyUSB1", 3, "ok"},
                            {"2024-03-02T12:00:00", "COM 1", "/dev/ttyUSB0", 4, "differs"},
                            {"2024-03-02T12:00:01", "COM 2", "/dev/ttyUSB1", 5, "ok"},
                            {"2024-03-03T00:00:00", "COM 3", "", 3, "failed"}};
        QList<HistoryRecord> records;
        for (const Row &row : rows) {
            HistoryRecord &r = records.emplaceBack();
            r.time = QDateTime::fromString(row.time + QString("Z"), Qt::ISODate);
            r.command = "verify", r.port = row.port, r.device = row.device, r.slaveId = row.slaveId, r.result = row.result;
            r.file = "a, \"b\".txt";
        }
        {
            HistoryStore store(target);
            QString error;
            QVERIFY2(store.open(HistoryStore::Record, &error) && store.append(records, &error), qPrintable(error));
        }
        auto listed = [&](const QString &arguments, const QString &ids) {
            const CliRun list = run(QStringList{"history", "--history", target.path} + arguments.split(' ', Qt::SkipEmptyParts));
            QStringList got;
            for (const QString &line : list.out.split('\n', Qt::SkipEmptyParts))
                got << line.section('\t', 0, 0);
            const QString seen = list.exitCode ? QString("exit %1").arg(list.exitCode) : got.join(' ');
            QVERIFY2(seen == ids, qPrintable(arguments + ": " + seen));
        };
        listed("", "6 5 4 3 2 1");  // newest first
        listed("--port com2", "5 2");  // a COM number as typed
        listed("--port /dev/ttyUSB1", "5 3 2");
        listed("--slave-id 3", "6 3");
        listed("--since 2024-03-02", "6 5 4");
        listed("--since 2024-03-02T12:00:01", "6 5");
        listed("--result differs", "4 2");
        listed("--result interrupted", "");  // the last result a run can end with, none here
        listed("--limit 2", "6 5");
        listed("--port /dev/ttyUSB1 --since 2024-03-01T09:00 --result ok", "5 3");
        for (const QString refused : {"--result maybe", "--since March", "--limit 0"})
            listed(refused, "exit 2");
        const QStringList csv = run({"history", "--csv", "--limit", "1", "--history", target.path}).out.split("\r\n");
        QCOMPARE(csv.value(0), "id,time,host,user,program,command,port,label,device,adapter serial,adapter description,"
                               "slave id,table sha256,file,result,failed fields,differences");
        QCOMPARE(csv.value(1), "6,2024-03-03 00:00:00Z,,,,verify,COM 3,,,,,3,,\"a, \"\"b\"\".txt\",failed,[],[]");
    }

    // A store that cannot take the record: the run's exit code and output
    // stay as they are, one warning line follows, and the run does not wait.
    void storeThatCannotRecord_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("locked") << "locked" << "database is locked";
        QTest::newRow("corrupt") << "corrupt" << "file is not a database";
        QTest::newRow("read-only") << "read-only" << "readonly database";
        QTest::newRow("full") << "full" << "";
        QTest::newRow("newer schema") << "newer" << "made by a newer program (schema version 3";
        QTest::newRow("bad environment") << "environment" << "TELVARIN_HISTORY: the postgresql:// address of the history cannot be read";
    }
    void storeThatCannotRecord()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        const QString store = file("store/h.sqlite");
        QCOMPARE(run({"read", "--port", "/none", "--history", store}).exitCode, 2);  // a store in the current form
        const QStringList read{"read", "--fast", "--port", "1", "--output", file("out.txt")};
        const QString note = QString("COM 1 (%1): read the table (slave ID %2).\n").arg(file("data/telvarin/ports/com1")).arg(port_->modem->state().slaveId);
        QString program = TELVARIN_CLI;
        QStringList arguments = read + QStringList{"--history", store};
        QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
        if (fault == "locked") {
            holder.setDatabaseName(store);
            QVERIFY(holder.open() && QSqlQuery(holder).exec("BEGIN IMMEDIATE"));
        } else if (fault == "corrupt") {
            for (const char *log : {"-wal", "-shm"})
                QFile::remove(store + log);
            QVERIFY(writeFile(store, QByteArray("not a database at all\n").repeated(400)));
        } else if (fault == "newer") {
            holder.setDatabaseName(store);
            QVERIFY(holder.open() && QSqlQuery(holder).exec("UPDATE telvarin_schema SET version = 3"));
            holder.close();
        } else if (fault == "environment") {
            arguments = read;
            history_ = QString("postgresql://u:secret@[bad/db");
        } else {
            if (QProcess::execute("unshare", inOwnMount(file("store"), "mount -t tmpfs -o size=256k none \"$1\"", {"true"})) != 0)
                QSKIP("unshare cannot mount a small file system here (needs root or user namespaces); the read-only and full store are not tried");
            const QString prepare = fault == "full"
                ? "cp \"$1/h.sqlite\" /tmp/h.$$ && mount -t tmpfs -o size=256k none \"$1\" && cp /tmp/h.$$ \"$1/h.sqlite\" && "
                  "{ dd if=/dev/zero of=\"$1/fill\" bs=4k 2>/dev/null; true; }"
                : "mount -o bind,ro \"$1\" \"$1\"";
            program = "unshare";
            arguments = inOwnMount(file("store"), prepare, QStringList{TELVARIN_CLI} + arguments);
        }

        const QDeadlineTimer bound(20000);
        const CliRun ran = run(arguments, program);
        QVERIFY(!bound.hasExpired());
        QVERIFY2(ran.exitCode == 0 && ran.out.isEmpty() && ran.err.startsWith(note) && ran.err.count('\n') == 2 && ran.err.contains(reason)
                     && ran.err.endsWith("the unit was not recorded.\n") && !ran.err.contains("secret"),
                 qPrintable(ran.said()));
        QVERIFY(QFileInfo(file("out.txt")).size() > 0);
        holder = QSqlDatabase();  // the lock goes with the connection
        QSqlDatabase::removeDatabase("holder");
    }

    // Eight runs at once, one of them a batch of 100 units: every unit recorded exactly once.
    void runsAtOnce()
    {
        QByteArray manifest;
        for (int unit = 0; unit < 100; ++unit)
            manifest += (file("none/batch-") + QString("%1,,out-%1.txt\n").arg(unit)).toUtf8();
        QVERIFY(writeFile(file("batch.csv"), manifest));
        std::vector<std::unique_ptr<QProcess>> runs;
        for (int n = 0; n < 8; ++n) {
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->setProcessEnvironment(environment());
            runs.back()->start(TELVARIN_CLI, n == 0 ? QStringList{"read", "--batch", file("batch.csv")}
                                                    : QStringList{"read", "--port", file("none/single-%1").arg(n), "--output", file("o.txt")});
        }
        for (const auto &process : runs) {
            const CliRun ran = finished(*process);  // none lost its records
            QVERIFY2(ran.exitCode == 2 && !ran.err.contains("not recorded"), qPrintable(ran.said()));
        }
        const QJsonArray list = records(run({"history", "--json", "--limit", "1000"}));
        QSet<QString> ports;
        for (const QJsonValue &record : list)
            ports.insert(record.toObject()["port"].toString());
        QCOMPARE(QList<qsizetype>({list.size(), ports.size()}), QList<qsizetype>({107, 107}));
    }

    // A store of the first version takes new records and keeps its old ones.
    void migratesTheFirstVersion()
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "v1");
            db.setDatabaseName(file("v1.sqlite"));
            QVERIFY(db.open());
            for (const char *statement : {
                     "CREATE TABLE telvarin_schema (version INTEGER NOT NULL)",
                     "INSERT INTO telvarin_schema VALUES (1)",
                     "CREATE TABLE unit_record (id INTEGER PRIMARY KEY AUTOINCREMENT, time_utc TEXT NOT NULL, host TEXT, "
                     "user_name TEXT, program TEXT, command TEXT NOT NULL, port_label TEXT, device TEXT, slave_id INTEGER, "
                     "table_sha256 TEXT, table_text BLOB, file TEXT, result TEXT NOT NULL, failed_fields TEXT, differences TEXT)",
                     "INSERT INTO unit_record (time_utc, host, user_name, program, command, port_label, device, slave_id, "
                     "result, failed_fields, differences) VALUES ('2023-05-01T10:00:00.000Z', 'bench', 'ann', 'telvarin-cli', "
                     "'write', 'COM 4 (/dev/ttyUSB3)', '/dev/ttyUSB3', 9, 'ok', '[]', '[]')"})
                QVERIFY2(QSqlQuery(db).exec(statement), statement);
            db.close();
        }
        QSqlDatabase::removeDatabase("v1");
        QCOMPARE(run({"read", "--port", "/none", "--history", file("v1.sqlite")}).exitCode, 2);
        const QJsonArray list = records(run({"history", "--json", "--history", file("v1.sqlite")}));
        QCOMPARE(list.size(), 2);
        QCOMPARE(summary(list[1]), "write ok  9   [] []");
        QCOMPARE(list[1].toObject()["label"].toString(), "COM 4 (/dev/ttyUSB3)");
        QCOMPARE(run({"history", "--history", file("v1.sqlite"), "--port", "/dev/ttyUSB3"}).out.section('\t', 0, 0), "1");
    }

    // The sheet of a file and of a record: every number and message on the page.
    void sheetShowsTheTable()
    {
        QCOMPARE(run({"write", "--port", "1", "--slave-id", "7", file("site.txt")}).exitCode, 0);
        const QStringList sources[] = {{file("site.txt"), "--slave-id", "7"}, {"--history", "1"}};
        for (const QStringList &source : sources) {
            const CliRun made = run(QStringList{"sheet", "--output", file("sheet.pdf")} + source);
            QVERIFY2(made.exitCode == 0 && made.err.isEmpty(), qPrintable(made.err));
            QProcess text;
            text.start("pdftotext", {"-layout", file("sheet.pdf"), "-"});
            QVERIFY2(text.waitForFinished(30000) && text.exitCode() == 0, "pdftotext (Debian poppler-utils) did not run");
            const QString page = QString::fromUtf8(text.readAllStandardOutput());
            for (const QString &expected : QStringList{"Slave ID: 7", "Table SHA-256: " + sha256(siteFile()).left(12), "+911234567890",
                                            "Gas leak", "exit now", "5550001", "Fire, hall B", "Name:", "Signature:"})
                QVERIFY2(page.contains(expected), qPrintable(expected + " missing in:\n" + page));
            QVERIFY2(!page.contains("Gas leak exit now"), "the message's line break was lost");
            QCOMPARE(page.split('\n').filter(QRegularExpression("^\\s*(1[0-6]|[1-9])\\s+(yes|no)\\b")).size(), 16);
        }
        QCOMPARE(run({"sheet", "--output", file("s.pdf")}).exitCode, 2);
        QCOMPARE(run({"sheet", "--history", "5", "--output", file("s.pdf")}).exitCode, 2);
    }

    // A store held locked from before the transfer: the run waits for the
    // lock beside the transfer, and after it no longer than a moment.
    void lockedStoreCostsAMomentAfterTheTransfer()
    {
        const HistoryTarget target = parseHistoryTarget(file("w.sqlite"), nullptr);
        HistoryRecord record;
        record.command = "read";
        record.result = "ok";
        stampRecord(record);
        QCOMPARE(HistoryWriter(target).record({record}), QString());
        QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "lock-holder");
        holder.setDatabaseName(file("w.sqlite"));
        QVERIFY(holder.open() && QSqlQuery(holder).exec("BEGIN IMMEDIATE"));
        HistoryWriter writer(target);
        writer.waitUntilReady();
        QElapsedTimer afterTransfer;
        afterTransfer.start();
        const QString warning = writer.record({record});
        QVERIFY2(afterTransfer.elapsed() < HistoryStore::kBusyTimeoutMs / 2, qPrintable(QString::number(afterTransfer.elapsed())));
        QVERIFY2(warning.contains("database is locked") && warning.endsWith("the unit was not recorded."), qPrintable(warning));
        holder = QSqlDatabase();
        QSqlDatabase::removeDatabase("lock-holder");
    }

private:
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = programEnvironment(file("data"));
        env.remove("XDG_RUNTIME_DIR");  // as under a service or in a container: no note about it
        if (!history_.isEmpty())
            env.insert("TELVARIN_HISTORY", history_);
        return env;
    }
    CliRun run(const QStringList &arguments, const QString &program = TELVARIN_CLI)
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(program, arguments);
        return finished(process);
    }
    QString file(const QString &name) const { return work_->filePath(name); }

    std::unique_ptr<SimulatedPort> port_;
    std::unique_ptr<QTemporaryDir> work_;
    QString history_;  // TELVARIN_HISTORY, when set
};

QTEST_GUILESS_MAIN(HistoryTest)
#include "test_history.moc"
