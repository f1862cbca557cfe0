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

// ser2net serving one pseudo-terminal on each of its ports.
struct Ser2net {
    QTemporaryDir dir;
    QProcess process;
    QList<quint16> ports;
    ~Ser2net() { stop(); }

    static QString program() { return QStandardPaths::findExecutable("ser2net", {"/usr/sbin", "/usr/local/sbin", "/usr/bin"}); }

    // kinds: "tcp" (raw) or "rfc2217" for each device.
    bool start(const QStringList &kinds, const QStringList &devices)
    {
        QByteArray config;
        for (int i = 0; i < devices.size(); ++i) {
            ports << unusedPort();
            config += QStringLiteral("connection: &unit%1\n  accepter: %2tcp,127.0.0.1,%3\n"
                                     "  connector: serialdev,%4,9600n81,local\n")
                          .arg(i).arg(kinds[i] == "rfc2217" ? "telnet(rfc2217)," : "").arg(ports[i]).arg(devices[i])
                          .toLatin1();
        }
        QFile file(dir.filePath("ser2net.yaml"));
        if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size())
            return false;
        file.close();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program(), {"-n", "-d", "-c", file.fileName(), "-P", dir.filePath("pid")});
        return process.waitForStarted();
    }
    bool ready() const
    {
        for (quint16 port : ports)
            if (!listening(port))
                return false;
        return true;
    }
    void stop()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(5000);
        }
    }
    QString url(int i, const QString &kind) const { return QStringLiteral("%1://127.0.0.1:%2").arg(kind).arg(ports[i]); }
};

// A relay on 127.0.0.1 that holds every piece for delayMs each way: a
// long network path in front of the server.
class SlowPath : public QObject {
public:
    SlowPath(quint16 target, int delayMs) : target_(target), delayMs_(delayMs)
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *near = server.nextPendingConnection();
            auto *far = new QTcpSocket(near);
            far->connectToHost(QHostAddress::LocalHost, target_);
            relay(near, far);
            relay(far, near);
        });
    }
    QTcpServer server;

private:
    void relay(QTcpSocket *from, QTcpSocket *to)
    {
        connect(from, &QTcpSocket::readyRead, to, [this, from, to] {
            QTimer::singleShot(delayMs_, to, [to, bytes = from->readAll()] { to->write(bytes); });
        });
    }
    quint16 target_;
    int delayMs_;
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
        QProcess *process = start(arguments);
        TimedRun result;
        // The event loop runs meanwhile, so the test's own servers answer.
        QEventLoop loop;
        connect(process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        if (process->state() != QProcess::NotRunning)
            loop.exec();
        if (process->state() == QProcess::NotRunning)
            result.exitCode = process->exitCode();
        result.ms = clock.elapsed();
        result.out = process->readAllStandardOutput();
        result.err = process->readAllStandardError();
        delete process;
        return result;
    }

private slots:
    void initTestCase()
    {
        if (Ser2net::program().isEmpty())
            QSKIP("ser2net was not found (apt-get install ser2net): the network tests need a real serial server");
        QVERIFY(work_.isValid());
    }

    // Names refused with their reason, and the parts of the good ones.
    void networkNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parts");  // "kind host port" or the reason
        QTest::newRow("raw, IPv4") << "tcp://192.168.1.20:4001" << "0 192.168.1.20 4001";
        QTest::newRow("rfc2217, name") << "RFC2217://bench-3.example:65535" << "1 bench-3.example 65535";
        QTest::newRow("IPv6") << "rfc2217://[::1]:7000" << "1 ::1 7000";
        QTest::newRow("no port") << "tcp://server" << "the port number is missing";
        QTest::newRow("port 0") << "tcp://server:0" << "\"0\" is not a port number from 1 to 65535";
        QTest::newRow("port too big") << "tcp://server:65536" << "\"65536\" is not a port number";
        QTest::newRow("IPv6 without brackets") << "tcp://::1:4001" << "an IPv6 address needs brackets";
        QTest::newRow("not IPv6") << "tcp://[server]:4001" << "\"server\" is not an IPv6 address";
        QTest::newRow("a user") << "tcp://me@server:4001" << "\"me@server\" is not a host name";
        QTest::newRow("a path") << "tcp://server:4001/dev/ttyS0" << "\"4001/dev/ttyS0\" is not a port number";
        QTest::newRow("no host") << "rfc2217://:4001" << "the host is missing";
    }
    void networkNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, parts);
        QString error;
        const std::optional<NetworkPort> port = parseNetworkPort(name, &error);
        const QString got = port ? QStringLiteral("%1 %2 %3").arg(port->kind).arg(port->host).arg(port->port) : error;
        QVERIFY2(port ? got == parts : got.startsWith(name + ": " + parts), qPrintable(got));
        QVERIFY(isNetworkPortName(name));
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
    void readWriteVerify_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("raw") << "tcp";
        QTest::newRow("RFC 2217") << "rfc2217";
    }
    void readWriteVerify()
    {
        QFETCH(QString, kind);
        modemsim::ModemSimulator modem(siteState());
        modem.setPaceAtLineRate(false);
        QVERIFY(modem.start());
        Ser2net server;
        QVERIFY(server.start({kind}, {modem.slavePath()}));
        QTRY_VERIFY_WITH_TIMEOUT(server.ready(), 10000);
        const QString url = server.url(0, kind);

        const TimedRun read = run({"read", "--port", url});
        QCOMPARE(read.exitCode, 0);
        QCOMPARE(read.out.toLatin1(), kSiteFile);
        QCOMPARE(read.err, url + ": read the table (slave ID 20).\n");
        // Under a window per command (33 of them), plus the first connection.
        QVERIFY2(read.ms < 33 * 200 + 3000, qPrintable(QString::number(read.ms)));

        QVERIFY(writeFile(file("site.txt"), record(true, "12345", "Intruder") + emptyRecords(14) + record(true, "", "Gas leak")));
        modem.clearLog();
        const TimedRun write = run({"write", "--verify", "--port", url, "--slave-id", "7", file("site.txt")});
        QVERIFY2(write.exitCode == 0, qPrintable(write.err));
        QCOMPARE(modem.state().slaveId, 7);
        QCOMPARE(modem.state().enableMask, 0x8001);
        QCOMPARE(modem.receivedFrames().size(), 1 + 34 + 33);  // the probe, the Write, the check

        // A difference the modem holds is found.
        modemsim::ModemState changed = modem.state();
        changed.putText(0x0100, "Intruded");
        modem.setState(changed);
        const TimedRun verify = run({"verify", "--fast", "--port", url, file("site.txt")});
        QCOMPARE(verify.exitCode, 1);
        QVERIFY2(verify.err.contains(url + ": 1 difference from"), qPrintable(verify.err));
    }

    // Behind a path of 200 ms there and back, every reply comes after its
    // 200 ms: the window widened by the round trip still takes it.
    void windowWidensByTheRoundTrip()
    {
        modemsim::ModemSimulator modem(siteState());
        modem.setPaceAtLineRate(false);
        QVERIFY(modem.start());
        Ser2net server;
        QVERIFY(server.start({"rfc2217"}, {modem.slavePath()}));
        QTRY_VERIFY_WITH_TIMEOUT(server.ready(), 10000);
        {
            SlowPath path(server.ports[0], 100);
            const TimedRun read = run({"read", "--fast", "--port", QStringLiteral("rfc2217://127.0.0.1:%1").arg(path.server.serverPort())});
            QVERIFY2(read.exitCode == 0, qPrintable(read.err));
            QCOMPARE(read.out.toLatin1(), kSiteFile);
        }  // the server serves one client at a time
        // Ctrl-C just as a command reaches the modem through a 400 ms path: its
        // widened window has 600 ms left, the stop does not wait for them.
        SlowPath slower(server.ports[0], 400);
        QProcess *process = start({"read", "--port", QStringLiteral("rfc2217://127.0.0.1:%1").arg(slower.server.serverPort())});
        const qsizetype before = modem.receivedFrames().size();
        QTRY_VERIFY2_WITH_TIMEOUT(modem.receivedFrames().size() >= before + 3, process->readAllStandardError().constData(), 30000);
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
        std::vector<std::unique_ptr<modemsim::ModemSimulator>> modems;
        QStringList devices;
        for (int i = 0; i < 4; ++i) {
            modems.push_back(std::make_unique<modemsim::ModemSimulator>(siteState()));
            modems.back()->setPaceAtLineRate(false);
            QVERIFY(modems.back()->start());
            devices << modems.back()->slavePath();
        }
        const QStringList kinds{"tcp", "rfc2217", "tcp", "rfc2217"};
        Ser2net server;
        QVERIFY(server.start(kinds, devices));
        SimulatedPort local(siteState());
        local.modem->setPaceAtLineRate(false);
        QVERIFY(writeFile(file("site.txt"), kSiteFile));
        QByteArray manifest = "port,slave id,file\n" + local.modem->slavePath().toLatin1() + ",20,site.txt\n";
        for (int i = 0; i < 4; ++i)
            manifest += server.url(i, kinds[i]).toLatin1() + ",20,site.txt\n";
        QVERIFY(writeFile(file("bench.csv"), manifest));
        QTRY_VERIFY_WITH_TIMEOUT(server.ready(), 10000);

        const TimedRun batch = run({"verify", "--fast", "--json", "--batch", file("bench.csv")});
        QVERIFY2(batch.exitCode == 0, qPrintable(batch.out + batch.err));
        QStringList results;
        for (const QJsonValue unit : QJsonDocument::fromJson(batch.out.toUtf8())["units"].toArray())
            results << unit["port"].toString().section(':', 0, 0) + " " + unit["result"].toString();
        QCOMPARE(results, (QStringList{"/dev/pts/" + local.modem->slavePath().section('/', -1) + " ok", "tcp ok",
                                       "rfc2217 ok", "tcp ok", "rfc2217 ok"}));

        const QString twice = QStringLiteral("rfc2217://localhost:%1").arg(server.ports[0]);
        const TimedRun refused = run({"verify", "--port", server.url(0, "tcp"), "--port", twice, file("site.txt")});
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains(QStringLiteral("the port \"%1\" is given twice (as \"%2\")").arg(server.url(0, "tcp"), twice)),
                 qPrintable(refused.err));
    }

    // What the server (or its absence) can do wrong: each ends in its
    // message and exit code, within its bound.
    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("boundMs");
        QTest::newRow("nobody serves the port") << "unserved" << "the connection was refused: nothing serves port PORT on 127.0.0.1" << 3000;
        QTest::newRow("another client") << "busy" << "the server closed the connection at once, saying \"Port already in use\"" << 3000;
        QTest::newRow("accepts, never answers") << "silent" << "did not answer the RFC 2217 line settings within 3 seconds" << 6000;
        QTest::newRow("other line settings") << "4800" << "the server did not confirm 9600 baud on its serial port, so nothing was sent" << 3000;
        QTest::newRow("bad name") << "name" << "tcp://127.0.0.1:PORT/x: \"PORT/x\" is not a port number" << 3000;
    }
    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, said);
        QFETCH(int, boundMs);
        modemsim::ModemSimulator modem(siteState());
        QVERIFY(modem.start());
        Ser2net server;
        QTcpServer silent;
        QTcpSocket other;
        QString url = QStringLiteral("tcp://127.0.0.1:%1").arg(unusedPort());
        if (fault == "busy") {
            QVERIFY(server.start({"tcp"}, {modem.slavePath()}));
            QTRY_VERIFY_WITH_TIMEOUT(server.ready(), 10000);
            url = server.url(0, "tcp");
            other.connectToHost(QHostAddress::LocalHost, server.ports[0]);
            QVERIFY(other.waitForConnected(5000));
        } else if (fault == "silent" || fault == "4800") {
            QVERIFY(silent.listen(QHostAddress::LocalHost));
            // A server that keeps its line at 4800 baud and says so, the rest as asked.
            if (fault == "4800")
                connect(&silent, &QTcpServer::newConnection, &silent, [&silent] {
                    silent.nextPendingConnection()->write(QByteArray::fromHex(
                        "fffa2c65000012c0fff0" "fffa2c6608fff0" "fffa2c6701fff0" "fffa2c6801fff0" "fffa2c6901fff0"));
                });
            url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.serverPort());
        } else if (fault == "name") {
            url += "/x";
        }
        said.replace("PORT", url.section(':', -1).section('/', 0, 0));

        const TimedRun result = run({"read", "--port", url});

        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains(said), qPrintable(result.err));
        QVERIFY2(result.ms < boundMs, qPrintable(QString::number(result.ms)));
        QCOMPARE(modem.commandCount(), 0);
    }

    // The server goes away in the middle of a Write: the message counts the
    // commands handed to the network, and the modem holds no more than those.
    void serverStopsMidWrite()
    {
        modemsim::ModemSimulator modem(siteState());
        modem.setPaceAtLineRate(false);
        QVERIFY(modem.start());
        Ser2net server;
        QVERIFY(server.start({"tcp"}, {modem.slavePath()}));
        QVERIFY(writeFile(file("site.txt"), kSiteFile));
        QTRY_VERIFY_WITH_TIMEOUT(server.ready(), 10000);
        QProcess *process = start({"write", "--port", server.url(0, "tcp"), "--slave-id", "3", file("site.txt")});
        QVERIFY(modem.waitForFrames(11, 20000));  // the probe and ten commands
        server.stop();
        QVERIFY(process->waitForFinished(10000));
        const QString err = process->readAllStandardError();
        QCOMPARE(process->exitCode(), 1);
        const QRegularExpressionMatch handed = QRegularExpression(
            "The connection to tcp://127.0.0.1:\\d+ was lost: the server closed the connection. ([0-9]+) of 34 commands "
            "were handed to the network before it broke, so the device holds at most those").match(err);
        QVERIFY2(handed.hasMatch(), qPrintable(err));
        QVERIFY2(modem.commandCount() - 1 <= handed.captured(1).toInt(), qPrintable(err));
        QVERIFY(handed.captured(1).toInt() >= 10);
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
        QVERIFY(process->waitForFinished(10000));
        QVERIFY2(sinceSignal.elapsed() < 1000, qPrintable(QString::number(sinceSignal.elapsed())));
        QCOMPARE(process->exitCode(), 130);
        const QJsonObject unit = QJsonDocument::fromJson(process->readAllStandardOutput())["units"][0].toObject();
        QCOMPARE(unit["result"].toString() + QString::number(unit["exitCode"].toInt()), QString("interrupted130"));
    }

    // The window's port box takes a network port; a refusal is a USB Port
    // Error that names the address.
    void windowConnectsOverTheNetwork()
    {
        modemsim::ModemSimulator modem(siteState());
        QVERIFY(modem.start());
        Ser2net server;
        QVERIFY(server.start({"rfc2217"}, {modem.slavePath()}));
        QTRY_VERIFY_WITH_TIMEOUT(server.ready(), 10000);
        frmMain window(work_.path());
        auto *box = window.findChild<QComboBox *>("cmbComm");
        auto *connectButton = window.findChild<QPushButton *>("cmdConnect");
        const QString refused = QStringLiteral("tcp://127.0.0.1:%1").arg(unusedPort());
        for (const QString &url : {refused, server.url(0, "rfc2217")}) {
            box->setEditText(url);
            BoxWatcher boxes;
            connectButton->click();
            QCOMPARE(box->currentText(), url);
            if (url == refused) {
                QCOMPARE(boxes.boxes.size(), 1);
                QCOMPARE(boxes.boxes[0].title, QString("USB Port Error"));
                QVERIFY2(boxes.boxes[0].text.startsWith(refused + ": the connection was refused"), qPrintable(boxes.boxes[0].text));
            }
        }
        QCOMPARE(connectButton->text(), QString("&Disconnect"));
        BoxWatcher boxes;
        window.findChild<QPushButton *>("cmdDeviceRead")->click();
        QTRY_COMPARE_WITH_TIMEOUT(modem.commandCount(), 33, 20000);
        QTRY_COMPARE(window.findChild<QComboBox *>("cmbSlaveID")->currentText(), QString("20"));
    }
};

QTEST_MAIN(NetworkTest)
#include "test_network.moc"
