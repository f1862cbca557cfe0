// Modems behind a real serial-to-network server: Debian's ser2net in front
// of the simulator's pseudo-terminal, raw and with RFC 2217, reached by
// telvarin-cli and by the window. Everything stays on 127.0.0.1.
#include "app/main_window.h"
#include "link/port_address.h"
#include "link/telnet_codec.h"
#include "sim_fixture.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QTest>

#include <csignal>

namespace {

QByteArray record(bool enabled, const QByteArray &phoneNo, const QByteArray &message)
{
    return (enabled ? "1" : "0") + QByteArray("\r\n\"") + phoneNo + "\"\r\n\"" + message + "\"\r\n";
}
QByteArray emptyRecords(int count) { return record(false, "", "").repeated(count); }

modemsim::ModemState siteState()
{
    modemsim::ModemState state;
    state.slaveId = 20;
    state.enableMask = 0x0001;
    state.putText(0x0000, "+911234567890");
    state.putText(0x0100, "Fire, site A");
    return state;
}
// The file a Read of siteState() gives.
const QByteArray kSiteFile = record(true, "+911234567890", "Fire, site A") + emptyRecords(15);

quint16 unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The port is listening on 127.0.0.1, as the kernel's table shows.
bool listening(quint16 port)
{
    QFile table("/proc/net/tcp");
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray entry = QStringLiteral("0100007F:%1 00000000:0000 0A").arg(port, 4, 16, QChar('0')).toUpper().toLatin1();
    return table.readAll().contains(entry);
}

// A command-line run and how long it took.
struct TimedRun : CliRun {
    qint64 ms = 0;
};

// The modem of siteState(), not paced, behind a ser2net of its own.
struct ServedModem {
    modemsim::ModemSimulator modem{siteState()};
    QTemporaryDir dir;
    QProcess server;
    quint16 port = unusedPort();
    QString url;

    static QString program() { return QStandardPaths::findExecutable("ser2net", {"/usr/sbin", "/usr/local/sbin", "/usr/bin"}); }

    // kind: "tcp" (raw) or "rfc2217".
    explicit ServedModem(const QString &kind) : url(QStringLiteral("%1://127.0.0.1:%2").arg(kind).arg(port))
    {
        modem.setPaceAtLineRate(false);
        if (!modem.start())
            qFatal("the modem simulator did not start");
        const QByteArray config = QStringLiteral("connection: &unit\n  accepter: %1tcp,127.0.0.1,%2\n"
                                                 "  connector: serialdev,%3,9600n81,local\n")
                                      .arg(kind == "rfc2217" ? "telnet(rfc2217)," : "").arg(port).arg(modem.slavePath()).toLatin1();
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (writeFile(dir.filePath("ser2net.yaml"), config))
            server.start(program(), {"-n", "-d", "-c", dir.filePath("ser2net.yaml"), "-P", dir.filePath("pid")});
        if (!server.waitForStarted() || !QTest::qWaitFor([this] { return listening(port); }, 10000))
            qFatal("ser2net did not serve the modem simulator on %s", qPrintable(url));
    }
    ~ServedModem() { stop(); }
    void stop()  // again when stopped: nothing
    {
        server.terminate();
        server.waitForFinished(5000);
    }
};

// A relay on 127.0.0.1 that holds every piece for delayMs each way: a
// long network path in front of the server.
class SlowPath : public QObject {
public:
    SlowPath(quint16 target, int delayMs)
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this, target, delayMs] {
            QTcpSocket *near = server.nextPendingConnection();
            auto *far = new QTcpSocket(near);
            far->connectToHost(QHostAddress::LocalHost, target);
            for (const auto &ends : {std::pair{near, far}, std::pair{far, near}})
                connect(ends.first, &QTcpSocket::readyRead, ends.second, [ends, delayMs] {
                    QTimer::singleShot(delayMs, ends.second, [to = ends.second, bytes = ends.first->readAll()] { to->write(bytes); });
                });
        });
    }
    QTcpServer server;
};

}  // namespace

class NetworkTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir work_;
    QString file(const QString &name) const { return work_.filePath(name); }

    QProcess *start(const QStringList &arguments)
    {
        auto *process = new QProcess(this);
        process->setProcessEnvironment(programEnvironment(file("data")));
        process->start(TELVARIN_CLI, arguments);
        return process;
    }
    TimedRun run(const QStringList &arguments)
    {
        QElapsedTimer clock;
        clock.start();
        const std::unique_ptr<QProcess> process(start(arguments));
        // Events are handled meanwhile, so the test's own servers answer.
        const bool ended = QTest::qWaitFor([&] { return process->state() == QProcess::NotRunning; }, 120000);
        return {{ended ? process->exitCode() : -1, process->readAllStandardOutput(), process->readAllStandardError()}, clock.elapsed()};
    }

private slots:
    void initTestCase()
    {
        if (ServedModem::program().isEmpty())
            QSKIP("ser2net was not found (apt-get install ser2net): the network tests need a real serial server");
        QVERIFY(work_.isValid());
    }

    // Names refused with their reason, and the parts of the good ones.
    void networkNames()
    {
        auto parsed = [](const QString &name, const QString &parts) {  // parts: "kind host port", or the reason
            QString error;
            const std::optional<NetworkPort> port = parseNetworkPort(name, &error);
            const QString got = port ? QStringLiteral("%1 %2 %3").arg(port->kind).arg(port->host).arg(port->port) : error;
            QVERIFY2((port ? got == parts : got.startsWith(name + ": " + parts)) && isNetworkPortName(name), qPrintable(got));
        };
        parsed("tcp://192.168.1.20:4001", "0 192.168.1.20 4001");
        parsed("RFC2217://bench-3.example:65535", "1 bench-3.example 65535");
        parsed("rfc2217://[::1]:7000", "1 ::1 7000");
        parsed("tcp://server", "the port number is missing");
        parsed("tcp://server:0", "\"0\" is not a port number from 1 to 65535");
        parsed("tcp://server:65536", "\"65536\" is not a port number");
        parsed("tcp://::1:4001", "an IPv6 address needs brackets");
        parsed("tcp://[server]:4001", "\"server\" is not an IPv6 address");
        parsed("tcp://me@server:4001", "\"me@server\" is not a host name");
        parsed("tcp://server:4001/dev/ttyS0", "\"4001/dev/ttyS0\" is not a port number");
        parsed("rfc2217://:4001", "the host is missing");
    }

    // The Telnet stream: 0xFF doubled both ways, negotiation and COM-port
    // answers taken out of the data, options this side does not do refused.
    void telnetStream()
    {
        TelnetCodec codec;
        QByteArray answer;
        const QByteArray in = QByteArray::fromHex("61ffff62" "fffa2c6500002580fff0" "fffb01" "fffd18" "fffd2c" "63");
        QByteArray data = codec.decode(in.left(5), &answer);  // a piece ends inside an IAC IAC
        data += codec.decode(in.mid(5), &answer);
        QCOMPARE(data, QByteArray::fromHex("61ff6263"));
        QCOMPARE(answer, QByteArray::fromHex("fffe01" "fffc18"));  // DONT echo, WONT terminal type; DO COM port: already said
        QCOMPARE(codec.comPortReplies().value(101), QByteArray::fromHex("00002580"));
        QCOMPARE(TelnetCodec::escape(QByteArray::fromHex("01ff02")), QByteArray::fromHex("01ffff02"));
    }

    // Read, Write with its probe and check, and verify, through the server
    // raw and with RFC 2217.
    void readWriteVerify()
    {
        QVERIFY(writeFile(file("site.txt"), record(true, "12345", "Intruder") + emptyRecords(14) + record(true, "", "Gas leak")));
        for (const QString kind : {"tcp", "rfc2217"}) {
            ServedModem unit(kind);

            const TimedRun read = run({"read", "--port", unit.url});
            QCOMPARE(read.said(), "0 " + kSiteFile + unit.url + ": read the table (slave ID 20).\n");
            // Under a window per command (33 of them), plus the first connection.
            QVERIFY2(read.ms < 33 * 200 + 3000, qPrintable(QString::number(read.ms)));

            unit.modem.clearLog();
            const TimedRun write = run({"write", "--verify", "--port", unit.url, "--slave-id", "7", file("site.txt")});
            QVERIFY2(write.exitCode == 0, qPrintable(write.err));
            // Slave ID, enable mask, and the frames of the probe, the Write (34) and the check (33).
            QCOMPARE(QStringLiteral("%1 %2 %3").arg(unit.modem.state().slaveId).arg(unit.modem.state().enableMask, 0, 16)
                         .arg(unit.modem.receivedFrames().size()), QString("7 8001 68"));

            // A difference the modem holds is found.
            modemsim::ModemState changed = unit.modem.state();
            changed.putText(0x0100, "Intruded");
            unit.modem.setState(changed);
            const TimedRun verify = run({"verify", "--fast", "--port", unit.url, file("site.txt")});
            QVERIFY2(verify.exitCode == 1 && verify.err.contains(unit.url + ": 1 difference from"), qPrintable(verify.said()));
        }
    }

    // Behind a path of 200 ms there and back, every reply comes after its
    // 200 ms: the window widened by the round trip still takes it.
    void windowWidensByTheRoundTrip()
    {
        ServedModem unit("rfc2217");
        {
            SlowPath path(unit.port, 100);
            const QString url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(path.server.serverPort());
            QCOMPARE(run({"read", "--fast", "--port", url}).said(), "0 " + kSiteFile + url + ": read the table (slave ID 20).\n");
        }  // the server serves one client at a time
        // Ctrl-C just as a command reaches the modem through a 400 ms path: its
        // widened window has 600 ms left, the stop does not wait for them.
        SlowPath slower(unit.port, 400);
        QProcess *process = start({"read", "--port", QStringLiteral("rfc2217://127.0.0.1:%1").arg(slower.server.serverPort())});
        const qsizetype before = unit.modem.receivedFrames().size();
        QTRY_VERIFY2_WITH_TIMEOUT(unit.modem.receivedFrames().size() >= before + 3, process->readAllStandardError().constData(), 30000);
        QElapsedTimer sinceSignal;
        sinceSignal.start();
        ::kill(pid_t(process->processId()), SIGINT);
        QTRY_VERIFY_WITH_TIMEOUT(process->state() == QProcess::NotRunning, 10000);
        QVERIFY2(sinceSignal.elapsed() < 400, qPrintable(QString::number(sinceSignal.elapsed())));
        QCOMPARE(process->exitCode(), 130);
    }

    // Four units through four server ports and one local port in one
    // manifest; one server port named twice, by two names, is refused.
    void batchMixesLocalAndNetworkPorts()
    {
        SimulatedPort local(siteState());
        local.modem->setPaceAtLineRate(false);
        QByteArray manifest = "port,slave id,file\n" + local.modem->slavePath().toLatin1() + ",20,site.txt\n";
        std::vector<std::unique_ptr<ServedModem>> units;
        for (const QString kind : {"tcp", "rfc2217", "tcp", "rfc2217"}) {
            units.push_back(std::make_unique<ServedModem>(kind));
            manifest += units.back()->url.toLatin1() + ",20,site.txt\n";
        }
        QVERIFY(writeFile(file("site.txt"), kSiteFile) && writeFile(file("bench.csv"), manifest));

        const TimedRun batch = run({"verify", "--fast", "--json", "--batch", file("bench.csv")});
        QVERIFY2(batch.exitCode == 0, qPrintable(batch.said()));
        QStringList results;
        for (const QJsonValue unit : QJsonDocument::fromJson(batch.out.toUtf8())["units"].toArray())
            results << unit["port"].toString().section(':', 0, 0) + " " + unit["result"].toString();
        QCOMPARE(results, (QStringList{"/dev/pts/" + local.modem->slavePath().section('/', -1) + " ok", "tcp ok",
                                       "rfc2217 ok", "tcp ok", "rfc2217 ok"}));

        const QString twice = QStringLiteral("rfc2217://localhost:%1").arg(units[0]->port);
        const TimedRun refused = run({"verify", "--port", units[0]->url, "--port", twice, file("site.txt")});
        const QString said = QStringLiteral("the port \"%1\" is given twice (as \"%2\")").arg(units[0]->url, twice);
        QVERIFY2(refused.exitCode == 2 && refused.err.contains(said), qPrintable(refused.said()));
    }

    // What the server (or its absence) can do wrong, and a bad name: each
    // ends in its message and exit code, within its bound.
    void faults()
    {
        ServedModem unit("tcp");
        auto refused = [this](const QString &url, const QString &said, int boundMs) {
            const TimedRun result = run({"read", "--port", url});
            QVERIFY2(result.exitCode == 2 && result.err.contains(said) && result.ms < boundMs,
                     qPrintable(QStringLiteral("%1 ms: ").arg(result.ms) + result.said()));
        };
        const QString unserved = QStringLiteral("tcp://127.0.0.1:%1").arg(unusedPort());
        refused(unserved, "the connection was refused: nothing serves port " + unserved.section(':', -1) + " on 127.0.0.1", 3000);
        refused(unserved + "/x", unserved + "/x: \"" + unserved.section(':', -1) + "/x\" is not a port number", 3000);
        QTcpSocket other;  // the one client ser2net takes
        other.connectToHost(QHostAddress::LocalHost, unit.port);
        QVERIFY(other.waitForConnected(5000));
        refused(unit.url, "the server closed the connection at once, saying \"Port already in use\"", 3000);
        QTcpServer silent, at4800;
        QVERIFY(silent.listen(QHostAddress::LocalHost) && at4800.listen(QHostAddress::LocalHost));
        refused(QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.serverPort()), "did not answer the RFC 2217 line settings within 3 seconds", 6000);
        // A server that keeps its line at 4800 baud and says so, the rest as asked.
        connect(&at4800, &QTcpServer::newConnection, &at4800, [&at4800] {
            at4800.nextPendingConnection()->write(QByteArray::fromHex(
                "fffa2c65000012c0fff0" "fffa2c6608fff0" "fffa2c6701fff0" "fffa2c6801fff0" "fffa2c6901fff0"));
        });
        refused(QStringLiteral("rfc2217://127.0.0.1:%1").arg(at4800.serverPort()),
                "the server did not confirm 9600 baud on its serial port, so nothing was sent", 3000);
        QCOMPARE(unit.modem.commandCount(), 0);
    }

    // The server goes away in the middle of a Write: the message counts the
    // commands handed to the network, and the modem holds no more than those.
    void serverStopsMidWrite()
    {
        ServedModem unit("tcp");
        QVERIFY(writeFile(file("site.txt"), kSiteFile));
        QProcess *process = start({"write", "--port", unit.url, "--slave-id", "3", file("site.txt")});
        QVERIFY(unit.modem.waitForFrames(11, 20000));  // the probe and ten commands
        unit.stop();
        const CliRun result = finished(*process);
        const QRegularExpressionMatch handed = QRegularExpression(
            "^telvarin-cli: The connection to tcp://127.0.0.1:\\d+ was lost: the server closed the connection. ([0-9]+) of 34 commands "
            "were handed to the network before it broke, so the device holds at most those").match(result.err);
        QVERIFY2(result.exitCode == 1 && handed.hasMatch(), qPrintable(result.said()));
        QVERIFY2(unit.modem.commandCount() - 1 <= handed.captured(1).toInt() && handed.captured(1).toInt() >= 10, qPrintable(result.err));
    }

    // Ctrl-C while a server takes its time ends the wait at once.
    void stopWhileConnecting()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        QProcess *process = start({"read", "--json", "--port", QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.serverPort())});
        QVERIFY(silent.waitForNewConnection(10000));
        QElapsedTimer sinceSignal;
        sinceSignal.start();
        ::kill(pid_t(process->processId()), SIGINT);
        const CliRun stopped = finished(*process);
        QVERIFY2(sinceSignal.elapsed() < 1000, qPrintable(QString::number(sinceSignal.elapsed())));
        const QJsonObject unit = QJsonDocument::fromJson(stopped.out.toUtf8())["units"][0].toObject();
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(stopped.exitCode).arg(unit["result"].toString()).arg(unit["exitCode"].toInt()), "130 interrupted 130");
    }

    // The window's port box takes a network port; a refusal is a USB Port
    // Error that names the address.
    void windowConnectsOverTheNetwork()
    {
        ServedModem unit("rfc2217");
        frmMain window(work_.path());
        const QString refused = QStringLiteral("tcp://127.0.0.1:%1").arg(unusedPort());
        QStringList seen;
        for (const QString &url : {refused, unit.url}) {
            window.cmbComm->setEditText(url);
            BoxWatcher boxes;
            window.cmdConnect->click();
            seen << window.cmbComm->currentText();
            for (const SeenBox &shown : boxes.boxes)
                seen << shown.title + ": " + shown.text.section(": nothing", 0, 0);
        }
        QCOMPARE(seen, (QStringList{refused, "USB Port Error: " + refused + ": the connection was refused", unit.url}));
        QCOMPARE(window.cmdConnect->text(), QString("&Disconnect"));
        BoxWatcher boxes;
        window.cmdDeviceRead->click();
        QTRY_COMPARE_WITH_TIMEOUT(unit.modem.commandCount(), 33, 20000);
        QTRY_COMPARE(window.cmbSlaveID->currentText(), QString("20"));
    }
};

QTEST_MAIN(NetworkTest)
#include "test_network.moc"
