// telvarin-cli run as a process against the simulated modem on a
// pseudo-terminal: the frames on the line, the file bytes, what it says and
// the exit codes.
#include "cli/progress_bar.h"
#include "sim_fixture.h"

#include <QDir>
#include <QProcess>
#include <QSerialPort>
#include <QTest>

#include <csignal>

namespace {

// One record of the file as an installer's text editor shows it.
QByteArray record(bool enabled, const QByteArray &phoneNo, const QByteArray &message)
{
    return (enabled ? "1" : "0") + QByteArray("\r\n\"") + phoneNo + "\"\r\n\"" + message + "\"\r\n";
}

QByteArray emptyRecords(int count) { return record(false, "", "").repeated(count); }

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray hex(const char *spaced) { return QByteArray::fromHex(spaced); }

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

}  // namespace

class CliTest : public QObject {
    Q_OBJECT
private slots:

    void init()
    {
        modemsim::ModemState state;
        state.slaveId = 20;
        state.enableMask = 0x8001;  // channels 1 and 16
        state.putText(0x0000, "+911234567890");
        state.memory.replace(0x00F0, 16, "0123456789012345");  // channel 16: a full slot, no NUL
        state.putText(0x0100, "Fire, site A");
        state.putText(0x0200, "Caf\xE9 ok");  // channel 2: a byte above 127 ends the text
        port_ = std::make_unique<SimulatedPort>(state);
        work_ = std::make_unique<QTemporaryDir>();
        // The program finds COM 1 in its ports folder under XDG_DATA_HOME.
        QVERIFY(QDir().mkpath(file("data/telvarin")));
        QVERIFY(QFile::link(port_->directory(), file("data/telvarin/ports")));
    }

    void cleanup()
    {
        process_.reset();
        port_.reset();
    }

    void readSavesTheModemsTable()
    {
        const CliRun result = run({"read", "--port", "1", "--output", file("table.txt")});

        QCOMPARE(result.exitCode, 0);
        QCOMPARE(readFile(file("table.txt")), record(true, "+911234567890", "Fire, site A") + record(false, "", "Caf")
                                                  + emptyRecords(13) + record(true, "0123456789012345", ""));
        QCOMPARE(result.out, QString());
        QList<QByteArray> frames{hex("26 02 45 32")};  // E2, the 16 phone slots, the 16 message slots
        for (int n = 0; n < 16; ++n)
            frames << hex("26 05 4d 52") + char(16 * n) + hex("00 10");
        for (int n = 0; n < 16; ++n)
            frames << hex("26 05 4d 52 00") + char(n + 1) + hex("a0");
        QCOMPARE(port_->modem->receivedFrames(), frames);
    }

    void writeThenVerify()
    {
        QVERIFY(writeFile(file("site.txt"), record(true, "12345", "Intruder") + emptyRecords(8)
                                                + record(false, "+441234567890", "Gas leak\r\nexit")
                                                + emptyRecords(5) + record(true, "", "Caf\xE9 ok")));

        const CliRun written = run({"write", "--port", "1", "--slave-id", "3", file("site.txt")});

        QCOMPARE(written.exitCode, 0);
        const QList<QByteArray> frames = port_->modem->receivedFrames();
        QCOMPARE(frames.size(), 34);
        QCOMPARE(frames.first(4) + frames.last(1),
                 QList<QByteArray>({hex("26 03 45 30 03"), hex("26 04 45 31 01 80"),
                                    hex("26 0b 4d 57 00 00 06 31 32 33 34 35 00"), hex("26 06 4d 57 10 00 01 00"),
                                    hex("26 0d 4d 57 00 10 08 43 61 66 e9 20 6f 6b 00")}));

        // The modem never gives back a byte above 127: the rest of that text cannot be checked.
        const CliRun same = run({"verify", "--port", "COM 1", "--slave-id", "3", file("site.txt")});
        QCOMPARE(same.exitCode, 0);
        QCOMPARE(same.out, QString());
        QVERIFY2(same.err.contains("Channel 16 message: matches the file up to \"Caf\"; the rest was not checked (from "
                                     "\"\u00e9\" on the modem gives nothing back: it never returns a character above 127).\n"),
                 qPrintable(same.err));

        modemsim::ModemState changed = port_->modem->state();
        changed.slaveId = 0;
        changed.enableMask = 0x8003;
        changed.putText(0x0090, "+441234567899");
        changed.putText(0x0100, "Intruder!");
        changed.putText(0x1000, "Cab");
        port_->modem->setState(changed);
        const CliRun differing = run({"verify", "--port", "1", "--slave-id", "3", "--quiet", file("site.txt")});
        QCOMPARE(differing.exitCode, 1);
        QCOMPARE(differing.out, QString("Slave ID: the modem has one outside 1 to 32, expected 3.\n"
                                        "Channel 1 message: the modem has \"Intruder!\", the file has \"Intruder\".\n"
                                        "Channel 2: enabled in the modem, disabled in the file.\n"
                                        "Channel 10 phone number: the modem has \"+441234567899\", the file has "
                                        "\"+441234567890\".\n"
                                        "Channel 16 message: the modem has \"Cab\", the file has \"Caf\u00e9 ok\" (from "
                                        "\"\u00e9\" on the modem gives nothing back: it never returns a character above "
                                        "127).\n"));
        QVERIFY2(differing.err.contains("5 differences"), qPrintable(differing.err));
    }

    void refusedOrFailed_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("fileContent");  // of FILE; none when empty
        QTest::addColumn<bool>("silent");              // a silent modem gets "E2" and nothing more
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("named");
        const QByteArray good = emptyRecords(16);
        const QByteArray longPhoneNo = emptyRecords(11) + record(false, "12345678901234567", "") + emptyRecords(4);
        const QString write = "write --port 1 --slave-id 1 FILE";
        QTest::newRow("silent, read") << "read --port 1 -o FILE" << QByteArray() << true << 1 << "COM 1";
            QTest::newRow("file cut short") << write << emptyRecords(15) + "1\r\n\"x\"\r\n" << false << 2 << "FILE: line 48";
        QTest::newRow("phone number of 17") << write << longPhoneNo << false << 2 << "FILE: Channel 12";
        QTest::newRow("message of 161") << write << emptyRecords(1) + record(false, "", QByteArray(161, 'm')) + emptyRecords(14)
                                    << false << 2 << "FILE: Channel 2";
        QTest::newRow("missing port") << "write --port 9 --slave-id 1 FILE" << good << false << 2 << "COM 9";
        QTest::newRow("missing device") << "read --port /dev/telvarin-none" << QByteArray() << false << 2
                                        << "/dev/telvarin-none";
        QTest::newRow("slave ID 33") << "write --port 1 --slave-id 33 FILE" << good << false << 2 << "33";
        QTest::newRow("COM 0") << "verify --port 0 FILE" << good << false << 2 << "COM number 1 to 255";
    }

    // Each failure is one line that names the port or the file; nothing is
    // written anywhere.
    void refusedOrFailed()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, fileContent);
        QFETCH(bool, silent);
        QFETCH(int, exitCode);
        QFETCH(QString, named);
        port_->modem->setSilent(silent);
        QVERIFY(QFile::link(file("gone"), port_->directory() + "/com9"));  // COM 9: its device is not there
        QVERIFY(fileContent.isEmpty() || writeFile(file("table.txt"), fileContent));

        const CliRun result = run(line.replace("FILE", file("table.txt")).split(' '));

        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.contains(named.replace("FILE", file("table.txt"))), qPrintable(result.err));
        QCOMPARE(result.err.count('\n'), 1);
        QCOMPARE(result.out, QString());
        QCOMPARE(readFile(file("table.txt")), fileContent.isEmpty() ? QByteArray("(missing)") : fileContent);
        QCOMPARE(port_->modem->receivedFrames().size(), silent ? 1 : 0);
    }

    // Ctrl-C or SIGTERM ends the run after the transaction under way; the
    // port is free again and FILE keeps what it held.
    void stopSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl-C") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }
    void stopSignal()
    {
        QFETCH(int, signal);
        QVERIFY(writeFile(file("table.txt"), "kept"));
        QProcess *process = start({"read", "--port", "1", "-o", file("table.txt")});

        QVERIFY(port_->modem->waitForFrames(5, 10000));
        ::kill(pid_t(process->processId()), signal);

        QVERIFY(process->waitForFinished(5000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 128 + signal);
        QVERIFY(port_->modem->receivedFrames().size() <= 6);
        QVERIFY(QString(process->readAllStandardError()).contains("interrupted"));
        QCOMPARE(readFile(file("table.txt")), QByteArray("kept"));
        QCOMPARE(QDir(work_->path()).entryList(QDir::Files), QStringList{"table.txt"});
        QSerialPort again(file("data/telvarin/ports/com1"));
        QVERIFY2(again.open(QIODevice::ReadWrite), qPrintable(again.errorString()));
    }

    // Help and version answer over SSH too, where there is no display; what
    // a program cannot use is refused before it starts.
    void answersWithoutDisplay_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("printed");
        const QString version = TELVARIN_VERSION;
        QTest::newRow("window, help") << TELVARIN_APP << QStringList{"--help"} << 0
                                      << QStringList{"telvarin-cli", "telvarin-modem-simulator", "--version"};
        QTest::newRow("window, version") << TELVARIN_APP << QStringList{"--version"} << 0
                                         << QStringList{"telvarin " + version + "\n"};
        QTest::newRow("window, Qt's options") << TELVARIN_APP << QStringList{"--help-all"} << 0
                                              << QStringList{"--platform"};
        QTest::newRow("command line, help") << TELVARIN_CLI << QStringList{"--help"} << 0 << QStringList{"Exit codes"};
        QTest::newRow("simulator, help") << TELVARIN_SIM << QStringList{"--help"} << 0
                                         << QStringList{"--verbose", "--log"};
        QTest::newRow("simulator, version") << TELVARIN_SIM << QStringList{"--version"} << 0
                                            << QStringList{"telvarin-modemsim " + version + "\n"};
        // The bash completion, run by bash as bash-completion runs it.
        auto complete = [](const char *words) {
            return QStringList{"-c", "source " TELVARIN_COMPLETION "; COMP_WORDS=(\"$1\" " + QString(words)
                                         + "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _telvarin_cli; echo \"[${COMPREPLY[*]}]\"",
                               "bash", TELVARIN_CLI};
        };
        QTest::newRow("completion, commands") << "bash" << complete("''") << 0
                                              << QStringList{"[read write verify ports -h --help --version -q --quiet]"};
        QTest::newRow("completion, options") << "bash" << complete("-q write --") << 0
                                             << QStringList{"[--port --slave-id --quiet]"};
        QTest::newRow("completion, present ports") << "bash" << complete("read --port ''") << 0 << QStringList{"[1"};
        QTest::newRow("completion, slave IDs") << "bash" << complete("verify --slave-id 3") << 0
                                               << QStringList{"[3 30 31 32]"};
        QTest::newRow("simulator, log in no folder") << TELVARIN_SIM << QStringList{"--log", "/telvarin-none/modem.log"}
                                                     << 1 << QStringList{"/telvarin-none/modem.log: "};
    }
    void answersWithoutDisplay()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, printed);

        const CliRun result = run(arguments, program);

        QCOMPARE(result.exitCode, exitCode);
        for (const QString &text : printed)
            QVERIFY2((exitCode == 0 ? result.out : result.err).contains(text), qPrintable(result.out + result.err));
    }

    // The progress line fits the terminal: the bar shrinks, then the title
    // loses its middle, then the bar goes.
    void progressLineFits_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("line");
        QTest::newRow("wide") << 80 << "Writing COM 3 (/dev/serial/by-id/usb-FTDI_A50285BI-port0) [#####--------]  40 %";
        QTest::newRow("60 columns") << 60 << "Writing COM 3 (/dev\u2026FTDI_A50285BI-port0) [####------]  40 %";
        QTest::newRow("narrow") << 30 << "Writing COM\u202685BI-port0)  40 %";
    }
    void progressLineFits()
    {
        QFETCH(int, columns);
        QFETCH(QString, line);
        QCOMPARE(progressLine("Writing COM 3 (/dev/serial/by-id/usb-FTDI_A50285BI-port0)", 40, columns), line);
    }

private:
    QProcess *start(const QStringList &arguments, const QString &program = TELVARIN_CLI)
    {
        process_ = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", file("data"));
        env.remove("QT_QPA_PLATFORM");  // the command line needs no windowing platform
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        process_->setProcessEnvironment(env);
        process_->start(program, arguments);
        return process_.get();
    }

    CliRun run(const QStringList &arguments, const QString &program = TELVARIN_CLI)
    {
        QProcess *process = start(arguments, program);
        if (!process->waitForFinished(60000) || process->exitStatus() != QProcess::NormalExit)
            return {};
        return {process->exitCode(), QString::fromUtf8(process->readAllStandardOutput()),
                QString::fromUtf8(process->readAllStandardError())};
    }
    QString file(const QString &name) const { return work_->filePath(name); }

    std::unique_ptr<SimulatedPort> port_;
    std::unique_ptr<QTemporaryDir> work_;
    std::unique_ptr<QProcess> process_;
};

QTEST_GUILESS_MAIN(CliTest)
#include "test_cli.moc"
