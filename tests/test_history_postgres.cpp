// A company's shared store: the history in a real PostgreSQL server, a
// throw-away cluster this test starts on a Unix socket of its own.
#include "sim_fixture.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString kPassword = QStringLiteral("s3cret-Word");

QString serverProgram(const QString &name)
{
    const QStringList found = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (auto version = found.crbegin(); version != found.crend(); ++version)
        if (QFileInfo::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/%2").arg(*version, name)))
            return QStringLiteral("/usr/lib/postgresql/%1/bin/%2").arg(*version, name);
    return {};
}

}  // namespace

class HistoryPostgresTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (serverProgram("initdb").isEmpty())
            QSKIP("the PostgreSQL server is not installed (Debian: postgresql); the shared store is not tried");
        // The server refuses to run as root: as root it runs as the package's postgres user.
        if (::geteuid() == 0) {
            const passwd *postgres = ::getpwnam("postgres");
            QVERIFY2(postgres, "no postgres user, though the server is installed");
            QVERIFY(::chown(QFile::encodeName(cluster_.path()).constData(), postgres->pw_uid, postgres->pw_gid) == 0);
        }
        QCOMPARE(server({serverProgram("initdb"), "-D", cluster_.filePath("data"), "-A", "trust", "-U", "telvarin"}), 0);
        QCOMPARE(server({serverProgram("pg_ctl"), "-D", cluster_.filePath("data"), "-l", cluster_.filePath("log"), "-w", "-o",
                         QString("-k %1 -c listen_addresses=''").arg(cluster_.path()), "start"}), 0);
        started_ = true;
    }
    void cleanupTestCase()
    {
        if (started_)
            server({serverProgram("pg_ctl"), "-D", cluster_.filePath("data"), "-m", "fast", "stop"});
    }
    void init()
    {
        port_ = std::make_unique<SimulatedPort>();
        port_->modem->setPaceAtLineRate(false);
        QVERIFY(QDir().mkpath(file("data/telvarin")));
        QFile::remove(file("data/telvarin/ports"));
        QVERIFY(QFile::link(port_->directory(), file("data/telvarin/ports")));
    }

    // Recorded by --history and by TELVARIN_HISTORY, listed, shown and put on a sheet; the password nowhere.
    void recordsAndAnswers()
    {
        const QString store = QString("postgresql://telvarin:%1@localhost/postgres?host=%2").arg(kPassword, cluster_.path());
        QList<CliRun> runs;
        runs << run({"read", "--fast", "--port", "1", "--output", file("site.txt"), "--history", store});
        runs << run({"verify", "--fast", "--port", "1", "--slave-id", "2", file("site.txt")}, store);
        runs << run({"history", "--json"}, store);
        const QJsonArray records = QJsonDocument::fromJson(runs.last().out.toUtf8()).object()["records"].toArray();
        QStringList seen;
        for (const QJsonValue &record : records)
            seen << record["command"].toString() + ' ' + record["result"].toString() + ' ' + record["port"].toString();
        QCOMPARE(seen, QStringList({"verify differs COM 1", "read ok COM 1"}));
        const QString readId = QString::number(records[1]["id"].toInteger());
        runs << run({"history", "show", readId}, store);
        QCOMPARE(runs.last().out.toLatin1(), readFile(file("site.txt")));
        runs << run({"sheet", "--history", readId, "--output", file("sheet.pdf")}, store);
        QCOMPARE(runs.last().exitCode, 0);
        QVERIFY(QFileInfo(file("sheet.pdf")).size() > 1000);
        for (const CliRun &r : runs)
            QVERIFY2(!(r.out + r.err).contains(kPassword) && !r.err.contains("not recorded"), qPrintable(r.err));
    }

    // A server out of reach: the run's result stands, one line says the unit was not recorded.
    void serverOutOfReach()
    {
        const QString store = QString("postgresql://telvarin:%1@localhost/postgres?host=%2").arg(kPassword, file("no-server"));
        const CliRun ran = run({"read", "--fast", "--port", "1", "--output", file("site.txt")}, store);
        QCOMPARE(ran.exitCode, 0);
        const QStringList lines = ran.err.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[1].startsWith("telvarin-cli: history postgresql://telvarin@") && lines[1].endsWith("the unit was not recorded.")
                     && !ran.err.contains(kPassword), qPrintable(ran.err));
        const CliRun listed = run({"history"}, store);
        QVERIFY(listed.exitCode == 2 && !listed.err.contains(kPassword));
    }

private:
    int server(const QStringList &command)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (::geteuid() == 0)
            process.start("runuser", QStringList{"-u", "postgres", "--"} + command);
        else
            process.start(command.first(), command.mid(1));
        if (!process.waitForFinished(120000))
            return -1;
        if (process.exitCode() != 0)
            qWarning("%s", process.readAll().constData());
        return process.exitCode();
    }
    CliRun run(const QStringList &arguments, const QString &history = {})
    {
        QProcess process;
        QProcessEnvironment env = programEnvironment(file("data"));
        if (!history.isEmpty())
            env.insert("TELVARIN_HISTORY", history);
        process.setProcessEnvironment(env);
        process.start(TELVARIN_CLI, arguments);
        return finished(process);
    }
    QString file(const QString &name) const { return work_.filePath(name); }

    QTemporaryDir cluster_;
    QTemporaryDir work_;
    bool started_ = false;
    std::unique_ptr<SimulatedPort> port_;
};

QTEST_GUILESS_MAIN(HistoryPostgresTest)
#include "test_history_postgres.moc"
