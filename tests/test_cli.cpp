// telvarin-cli run as a process against the simulated modem on a
// pseudo-terminal: the frames on the line, the file bytes, what it says and
// the exit codes.
#include "cli/json_report.h"
#include "cli/manifest.h"
#include "cli/progress_bar.h"
#include "cli/unit_list.h"
#include "sim_fixture.h"
#include "tools/modemsim/memory_file.h"

#include <QDir>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A document as a test writes it by hand: single quotes for double ones.
QByteArray json(const QString &text)
{
    return QJsonDocument::fromJson(QString(text).replace('\'', '"').toUtf8()).toJson();
}

// The report as the program printed it, each unit's time checked and set to 0.
QByteArray reportWithoutTimes(const QString &out)
{
    QJsonObject report = QJsonDocument::fromJson(out.toUtf8()).object();
    QJsonArray units = report["units"].toArray();
    for (QJsonValueRef unit : units) {
        QJsonObject object = unit.toObject();
        if (object["durationMs"].toInteger(-1) < 0)
            return "bad durationMs";
        object["durationMs"] = 0;
        unit = object;
    }
    report["units"] = units;
    return QJsonDocument(report).toJson();
}

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
        // Replies at once: a 160-byte read paced at the line rate ends 18 ms
        // before its window does, too close for a sanitizer build on a busy
        // machine. The paced line is the link's own tests' business.
        port_->modem->setPaceAtLineRate(false);
        // COM 2: a second unit, for the runs of several.
        state.putText(0x0100, "Fire, site B");
        state.putText(0x0300, "x\x01\"y");
        second_ = std::make_unique<modemsim::ModemSimulator>(state);
        second_->setPaceAtLineRate(false);
        QVERIFY(second_->start() && second_->createLink(port_->directory() + "/com2"));
        work_ = std::make_unique<QTemporaryDir>();
        // The program finds COM 1 in its ports folder under XDG_DATA_HOME.
        QVERIFY(QDir().mkpath(file("data/telvarin")));
        QVERIFY(QFile::link(port_->directory(), file("data/telvarin/ports")));
    }

    void cleanup()
    {
        process_.reset();
        second_.reset();
        port_.reset();
    }

    void readSavesTheModemsTable()
    {
        const CliRun result = run({"read", "--port", "1", "--output", file("table.txt")});

        QCOMPARE(result.exitCode, 0);
        const QByteArray table = record(true, "+911234567890", "Fire, site A") + record(false, "", "Caf")
                                 + emptyRecords(13) + record(true, "0123456789012345", "");
        QCOMPARE(readFile(file("table.txt")), table);
        QCOMPARE(result.out, QString());
        QCOMPARE(result.err, QString("COM 1 (%1): read the table (slave ID 20).\n").arg(file("data/telvarin/ports/com1")));
        QList<QByteArray> frames{hex("26 02 45 32")};  // E2, the 16 phone slots, the 16 message slots
        for (int n = 0; n < 16; ++n)
            frames << hex("26 05 4d 52") + char(16 * n) + hex("00 10");
        for (int n = 0; n < 16; ++n)
            frames << hex("26 05 4d 52 00") + char(n + 1) + hex("a0");
        QCOMPARE(port_->modem->receivedFrames(), frames);
        // --fast reads the same bytes (here quietly to standard output) and
        // verifies them, in well under a window per command; the modem holds
        // a plain "Caf" for it, as a verify compares bytes.
        modemsim::ModemState plain = port_->modem->state();
        plain.putText(0x0200, "Caf");
        port_->modem->setState(plain);
        for (const QString line : {"read --fast --port 1 -q", "verify --fast --port 1 -q FILE"}) {
            const QDeadlineTimer window(33 * 200);
            const CliRun fast = run(QString(line).replace("FILE", file("table.txt")).split(' '));
            QVERIFY2(!window.hasExpired(), qPrintable(QString::number(window.remainingTime())));
            // Exit code 0, the table on standard output, nothing else.
            QCOMPARE(QByteArray::number(fast.exitCode) + fast.out.toLatin1() + fast.err.toLatin1(), "0" + (line[0] == 'r' ? table : ""));
        }

        // A reading with holes would load and write back as if whole: the file keeps what it held.
        port_->modem->setAnswerMemoryReads(false);
        const CliRun partial = run({"read", "--port", "1", "--output", file("table.txt")});
        QCOMPARE(partial.exitCode, 1);
        QVERIFY2(partial.err.contains("(phone number of channels 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16; "
                                      "message of channels 1, 2, 3, ")
                     && partial.err.endsWith("table.txt was not written.\n"),
                 qPrintable(partial.err));
        QCOMPARE(readFile(file("table.txt")), table);
    }

    void writeThenVerify()
    {
        QVERIFY(writeFile(file("site.txt"), record(true, "12345", "Intruder") + emptyRecords(8)
                                                + record(false, "+441234567890", "Gas leak\r\nexit")
                                                + emptyRecords(5) + record(true, "", "Cafe ok")));

        const CliRun written = run({"write", "--port", "1", "--slave-id", "32", file("site.txt")});

        QCOMPARE(written.exitCode, 0);
        QCOMPARE(written.err, QString("COM 1 (%1): wrote slave ID 32 and the table of %2.\n")
                                  .arg(file("data/telvarin/ports/com1"), file("site.txt")));
        const QList<QByteArray> frames = port_->modem->receivedFrames();
        QCOMPARE(frames.size(), 34);
        QCOMPARE(frames.first(4) + frames.last(1),
                 QList<QByteArray>({hex("26 03 45 30 20"), hex("26 04 45 31 01 80"),
                                    hex("26 0b 4d 57 00 00 06 31 32 33 34 35 00"), hex("26 06 4d 57 10 00 01 00"),
                                    hex("26 0d 4d 57 00 10 08 43 61 66 65 20 6f 6b 00")}));

        // The simulator keeps the slave ID and the flags across a restart.
        QVERIFY(modemsim::saveMemoryFile(file("modem.bin"), port_->modem->state(), nullptr));
        QCOMPARE(readFile(file("modem.bin")).mid(65536).toHex(' '), QByteArray("20 01 80"));
        modemsim::ModemState restarted;
        QVERIFY(modemsim::loadMemoryFile(file("modem.bin"), restarted, nullptr));
        port_->modem->setState(restarted);
        const CliRun same = run({"verify", "--port", "COM 1", "--slave-id", "32", file("site.txt")});
        QCOMPARE(same.exitCode, 0);
        QCOMPARE(same.out, QString());
        QVERIFY2(same.err.endsWith("/com1): holds the table of " + file("site.txt") + " and slave ID 32.\n"), qPrintable(same.err));
        // --quiet: nothing but errors.
        for (const QString command : {"write --port 1 --slave-id 32 -q FILE", "verify --port 1 --quiet FILE"})
            QCOMPARE(run(QString(command).replace("FILE", file("site.txt")).split(' ')).err, QString());
        // A file of the memory alone, as earlier builds saved it, still loads.
        QVERIFY(writeFile(file("old.bin"), QByteArray(65536, 'x')));
        QVERIFY(modemsim::loadMemoryFile(file("old.bin"), restarted, nullptr));
        QVERIFY(restarted.memory == QByteArray(65536, 'x') && restarted.slaveId == 32);

        modemsim::ModemState changed = port_->modem->state();
        changed.slaveId = 0;
        changed.enableMask = 0x8003;
        changed.putText(0x0090, "+441234567899");
        changed.putText(0x0100, "Intruder!");
        changed.putText(0x1000, "Cab");
        port_->modem->setState(changed);
        const CliRun differing = run({"verify", "--port", "1", "--slave-id", "32", "--quiet", file("site.txt")});
        QCOMPARE(differing.exitCode, 1);
        QCOMPARE(differing.out, QString("Slave ID: the modem has one outside 1 to 32, expected 32.\n"
                                        "Channel 1 message: the modem has \"Intruder!\", the file has \"Intruder\".\n"
                                        "Channel 2: enabled in the modem, disabled in the file.\n"
                                        "Channel 10 phone number: the modem has \"+441234567899\", the file has "
                                        "\"+441234567890\".\n"
                                        "Channel 16 message: the modem has \"Cab\", the file has \"Cafe ok\".\n"));
        QCOMPARE(differing.err, "telvarin-cli: COM 1 (" + file("data/telvarin/ports/com1") + "): 5 differences from "
                                    + file("site.txt") + ".\n");
    }

    // A batch from a manifest: the units run side by side, a silent or a
    // differing unit stops none of the others, and the summary and the
    // report name each.
    void batchVerify()
    {
        modemsim::ModemSimulator silent;
        silent.setSilent(true);
        QVERIFY(silent.start() && silent.createLink(port_->directory() + "/com3"));
        // COM 1 holds the file's "Caf"; COM 2 still "Caf\xE9 ok", which a Read cuts to the same "Caf".
        modemsim::ModemState one = port_->modem->state();
        one.putText(0x0200, "Caf");
        port_->modem->setState(one);
        QVERIFY(writeFile(file("site.txt"), record(true, "+911234567890", "Fire, site A") + record(false, "", "Caf")
                                                + emptyRecords(13) + record(true, "0123456789012345", "")));
        QVERIFY(writeFile(file("bench.csv"), "port,slave id,file\n# bench 1\n2, 20 ,site.txt\r\n\n3,,\"site.txt\"\n1,20,site.txt\n"));

        const CliRun text = run({"verify", "--batch", file("bench.csv")});

        QCOMPARE(text.exitCode, 1);
        QCOMPARE(port_->modem->receivedFrames().size(), 33);
        QCOMPARE(second_->receivedFrames().size(), 33);
        QCOMPARE(silent.receivedFrames().size(), 1);
        const QString label = "COM %1 (" + file("data/telvarin/ports/com%1") + ")";
        QCOMPARE(text.out, label.arg(2) + ": Channel 1 message: the modem has \"Fire, site B\", the file has \"Fire, site A\".\n"
                               + label.arg(2) + ": Channel 2 message: the modem has \"Caf\\xe9 ok\", the file has \"Caf\".\n"
                               + label.arg(2) + ": Channel 3 message: the modem has \"x\\x01\"y\", the file has \"\".\n");
        QString err = text.err;
        err.replace(QRegularExpression(" +"), " ").replace(QRegularExpression("[0-9]+\\.[0-9] s\n"), "T\n");
        QVERIFY2(err.contains(label.arg(3) + ": Cannot communicate with device")
                     && err.endsWith("\nUnit Slave ID Result Time\n" + label.arg(2) + " 20 differs T\n" + label.arg(3)
                                     + " - no-answer T\n" + label.arg(1) + " 20 ok T\n"),
                 qPrintable(text.err));

        const CliRun report = run({"verify", "--batch", file("bench.csv"), "--json"});
        QCOMPARE(report.exitCode, 1);
        QCOMPARE(reportWithoutTimes(report.out), json(QString(R"({'format': 1, 'command': 'verify', 'exitCode': 1, 'units': [
            {'port': '2', 'label': 'COM 2 (DIR/com2)', 'device': 'DIR/com2', 'slaveId': 20, 'file': 'SITE',
             'result': 'differs', 'exitCode': 1, 'durationMs': 0, 'errors': ['COM 2 (DIR/com2): 3 differences from SITE.'],
             'failedFields': [], 'differences': [
                {'channel': 1, 'field': 'message', 'modem': 'Fire, site B', 'file': 'Fire, site A'},
                {'channel': 2, 'field': 'message', 'modem': 'Caf', 'modemBytes': '436166e9206f6b', 'file': 'Caf'},
                {'channel': 3, 'field': 'message', 'modem': 'x\u0001\'y', 'file': ''}]},
            {'port': '3', 'label': 'COM 3 (DIR/com3)', 'device': 'DIR/com3', 'slaveId': null, 'file': 'SITE',
             'result': 'no-answer', 'exitCode': 1, 'durationMs': 0, 'errors': ['COM 3 (DIR/com3): Cannot communicate with
             device (no answer to the first read); nothing was checked.'], 'failedFields': [], 'differences': []},
            {'port': '1', 'label': 'COM 1 (DIR/com1)', 'device': 'DIR/com1', 'slaveId': 20, 'file': 'SITE', 'result': 'ok',
             'exitCode': 0, 'durationMs': 0, 'errors': [], 'failedFields': [], 'differences': []}]})")
                                                          .replace("DIR", file("data/telvarin/ports"))
                                                          .replace("SITE", file("site.txt"))
                                                          .replace("with\n             device", "with device")));
    }

    // The report of a read carries the table; a write of two units reports
    // each, the one whose line was lost as failed; a read of two ports saves
    // one file each.
    void jsonOfReadAndWrite()
    {
        const CliRun read = run({"read", "--port", "1", "--json"});

        QCOMPARE(read.exitCode, 0);
        QString empty;
        for (int channel = 3; channel <= 15; ++channel)
            empty += QString("{'channel': %1, 'enabled': false, 'phoneNo': '', 'message': ''}, ").arg(channel);
        QCOMPARE(reportWithoutTimes(read.out), json(QString(R"({'format': 1, 'command': 'read', 'exitCode': 0, 'units': [
            {'port': '1', 'label': 'COM 1 (DIR/com1)', 'device': 'DIR/com1', 'slaveId': 20, 'file': '-', 'result': 'ok',
             'exitCode': 0, 'durationMs': 0, 'errors': [], 'failedFields': [], 'channels': [
                {'channel': 1, 'enabled': true, 'phoneNo': '+911234567890', 'message': 'Fire, site A'},
                {'channel': 2, 'enabled': false, 'phoneNo': '', 'message': 'Caf', 'messageBytes': '436166e9206f6b'}, EMPTY
                {'channel': 16, 'enabled': true, 'phoneNo': '0123456789012345', 'message': ''}]}]})")
                                                        .replace("DIR", file("data/telvarin/ports")).replace("EMPTY", empty)));

        QVERIFY(writeFile(file("site.txt"), emptyRecords(16)));
        second_->dropLineAfterCommand(3);
        const CliRun write = run({"write", "--port", "1", "--port", "COM2", "--slave-id", "5", file("site.txt"), "--json"});
        QCOMPARE(write.exitCode, 1);
        QCOMPARE(reportWithoutTimes(write.out), json(QString(R"({'format': 1, 'command': 'write', 'exitCode': 1, 'units': [
            {'port': '1', 'label': 'COM 1 (DIR/com1)', 'device': 'DIR/com1', 'slaveId': 5, 'file': 'SITE', 'result': 'ok',
             'exitCode': 0, 'durationMs': 0, 'errors': [], 'failedFields': []},
            {'port': 'COM2', 'label': 'COM 2 (DIR/com2)', 'device': 'DIR/com2', 'slaveId': 5, 'file': 'SITE', 'result': 'failed',
             'exitCode': 1, 'durationMs': 0, 'errors': ['The connection on COM 2 (DIR/com2) was lost: the adapter was removed or
             the line hung up. 3 of 34 commands reached the line, so the device holds only part of this configuration.'],
             'failedFields': []}]})").replace("DIR", file("data/telvarin/ports")).replace("SITE", file("site.txt"))
                                      .replace("or\n             the", "or the")));
        QCOMPARE(port_->modem->receivedFrames().size(), 33 + 34);

        second_->dropLineAfterCommand(-1);
        second_ = std::make_unique<modemsim::ModemSimulator>(port_->modem->state());
        QVERIFY(second_->start() && second_->createLink(port_->directory() + "/com2"));
        const CliRun both = run({"read", "--port", "1", "--port", "2", "-q", "-o", file("t-{port}.txt")});
        QCOMPARE(both.exitCode, 0);
        QCOMPARE(readFile(file("t-COM2.txt")), readFile(file("t-COM1.txt")));
        QCOMPARE(readFile(file("t-COM1.txt")).left(11), record(false, "", ""));
    }

    // A verify stopped after the phone number of channel 3: the fields never
    // read are failed fields, not differences; a slave ID outside 1 to 32 is null.
    void reportOfAStoppedVerify()
    {
        UnitResult result;
        result.port = result.label = "/dev/ttyUSB0";
        result.slaveId = 7;
        result.file = "site.txt";
        result.result = UnitResult::Interrupted;
        result.exitCode = 130;
        result.outcome = {ReadOutcome::Stopped, {}, {0, 1}, true};
        result.differences = {{Difference::SlaveId, -1, false, QVariant(), 7, {}}, {Difference::Enabled, 1, false, true, false, {}},
                               {Difference::Message, 0, true, QVariant(), "Fire", {}}};

        const QByteArray report = unitsReport(Invocation::Verify, {result}, 130);

        QCOMPARE(QJsonDocument::fromJson(report).toJson(), json(R"({'format': 1, 'command': 'verify', 'exitCode': 130,
            'units': [{'port': '/dev/ttyUSB0', 'label': '/dev/ttyUSB0', 'device': null, 'slaveId': 7, 'file': 'site.txt',
            'result': 'interrupted', 'exitCode': 130, 'durationMs': 0, 'errors': [],
            'failedFields': [{'channel': null, 'field': 'settings'}, {'channel': 1, 'field': 'message'},
                             {'channel': 2, 'field': 'message'}],
            'differences': [{'channel': null, 'field': 'slave ID', 'modem': null, 'file': 7},
                            {'channel': 2, 'field': 'enabled', 'modem': true, 'file': false}]}]})"));
    }

    // The manifest as a technician writes it; a line that cannot be used is
    // named by its number.
    void manifestLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("slaveIdRequired");
        QTest::addColumn<QString>("units");  // port|slave ID|file; ... or line: error
        QTest::newRow("header, comments, quotes") << QByteArray("Port,Slave ID,File\n# bench\n\n  1 ,3,a.txt\r\n"
                                                                "/dev/ttyUSB1,,\"b, \"\"c\"\".txt\"\n4,32,/abs/d.txt")
                                                  << false << "";
        QTest::newRow("slave ID left out") << QByteArray("/dev/ttyUSB1,,b.txt") << false << "/dev/ttyUSB1|-|/m/b.txt";
        QTest::newRow("COM 0") << QByteArray("port,id,file\n1,1,a\nCOM 0,1,a\n") << false
                               << "3: \"COM 0\" is neither a COM number 1 to 255 nor a device path";
        QTest::newRow("a header later") << QByteArray("1,1,a\nport,id,file\n") << false << "2: \"port\" is neither a COM number 1 to 255 nor a device path";
        QTest::newRow("two fields") << QByteArray("# c\n1,a.txt\n") << false << "2: 2 fields where port, slave ID and file are expected";
        QTest::newRow("slave ID needed") << QByteArray("1,,a.txt") << true << "1: \"\" is not a slave ID 1 to 32";
        QTest::newRow("slave ID 33") << QByteArray("1,33,a.txt") << false << "1: \"33\" is not a slave ID 1 to 32";
        QTest::newRow("no file") << QByteArray("1,3,") << false << "1: no file";
        QTest::newRow("open quote") << QByteArray("\n1,3,\"a.txt\n") << false << "2: a quote is not closed";
        QTest::newRow("no units") << QByteArray("port,id,file\n# none\n") << false << "0: no units in it";
    }
    void manifestLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, slaveIdRequired);
        QFETCH(QString, units);
        if (units.isEmpty())
            units = "1|3|/m/a.txt;/dev/ttyUSB1|-|/m/b, \"c\".txt;4|32|/abs/d.txt";

        const ManifestResult manifest = parseManifest(text, "/m", slaveIdRequired);

        QStringList got;
        for (const UnitSpec &unit : manifest.units)
            got.append(QStringList{unit.port, unit.slaveId ? QString::number(*unit.slaveId) : "-", unit.file}.join('|'));
        QCOMPARE(manifest.error.isEmpty() ? got.join(';') : QString("%1: %2").arg(manifest.badLine).arg(manifest.error), units);
    }

    // {port} names each unit's file; two units that would share one are refused.
    void outputPattern()
    {
        QCOMPARE(expandOutputPattern("/s/{port}/t-{port}.txt", "com 7"), QString("/s/COM7/t-COM7.txt"));
        QCOMPARE(expandOutputPattern("t-{port}.txt", "/dev/serial/by-id/usb-FTDI-port0"), QString("t-usb-FTDI-port0.txt"));
        const QList<UnitSpec> clash{{"/dev/a/ttyUSB0", {}, "ttyUSB0.txt"}, {"/dev/b/ttyUSB0", {}, "./ttyUSB0.txt"}};
        QCOMPARE(unitListProblem(clash, true), QString("\"/dev/a/ttyUSB0\" and \"/dev/b/ttyUSB0\" would both be read into ./ttyUSB0.txt"));
        QCOMPARE(unitListProblem(clash, false), QString());
        QCOMPARE(unitListProblem({{"3", {}, "a"}, {"COM 3", {}, "b"}}, false), QString("the port \"3\" is given twice (as \"COM 3\")"));
    }

    void refusedOrFailed_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("fileContent");  // of FILE; none when empty
        QTest::addColumn<QString>("fault");            // of the modem or the line
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("named");
        const QByteArray good = emptyRecords(16);
        const QByteArray longPhoneNo = emptyRecords(11) + record(false, "12345678901234567", "") + emptyRecords(4);
        const QByteArray latin1 = emptyRecords(2) + record(false, "", "Caf\xE9") + emptyRecords(13);
        const QString write = "write --port 1 --slave-id 1 FILE";
        QTest::newRow("quote, read to stdout") << "read --port 1" << QByteArray() << "quote" << 2 << "standard output: Channel 1 "
                                                  "cannot be kept exactly in the file. Its phone number holds a double quote";
        QTest::newRow("quote, read to a file") << "read --port 1 -o FILE" << QByteArray() << "quote" << 2 << "then save again.";
        QTest::newRow("output stalled") << write << good << "stall" << 1 << "/com1): The Write stopped: command 4 did not leave the port";
        QTest::newRow("line lost") << write << good << "drop" << 1
                                   << "/com1) was lost: the adapter was removed or the line hung up. 3 of 34 commands "
                                      "reached the line";
        QTest::newRow("port in use") << write << good << "in use" << 2 << "Permission error while locking the device";
        QTest::newRow("silent, verify") << "verify --port 1 FILE" << good << "silent" << 1 << "Cannot communicate with device";
        QTest::newRow("too long, fast read") << "read --fast --port 1 -o FILE" << QByteArray() << "long" << 1 << "COM 1";
        QTest::newRow("--fast on write") << write + " --fast" << good << "" << 2 << "write takes no --fast: the modem does not answer";
        QTest::newRow("read into a folder") << "read --port 1 -o DIR" << QByteArray() << "" << 2 << "It is a folder";
        QTest::newRow("read into a missing folder") << "read --port 1 -o FILE/t.txt" << QByteArray() << "" << 2
                                                    << "FILE/t.txt: The folder FILE does not exist.";
        QTest::newRow("read into a device") << "read --port 1 -o /dev/null" << QByteArray() << "" << 2
                                            << "/dev/null: It is a character device";
        QTest::newRow("--output on write") << write + " -o FILE" << good << "" << 2 << "write takes no --output";
        QTest::newRow("\u00e9, write") << write << latin1 << "" << 2
                                    << "FILE: Channel 3: the message holds \"\u00e9\" (U+00E9), a character the device "
                                       "cannot give back";
        QTest::newRow("\u00e9, verify") << "verify --port 1 FILE" << latin1 << "" << 2
                                     << "FILE: Channel 3: the message holds \"\u00e9\" (U+00E9)";
        QTest::newRow("file cut short") << write << emptyRecords(15) + "1\r\n\"x\"\r\n" << "" << 2 << "FILE: line 48";
        QTest::newRow("phone number of 17") << write << longPhoneNo << "" << 2 << "FILE: Channel 12";
        QTest::newRow("message of 161") << write << emptyRecords(1) + record(false, "", QByteArray(161, 'm')) + emptyRecords(14)
                                    << "" << 2 << "FILE: Channel 2";
        // A hand-made file whose texts the reading rules cut at an inner quote.
        const QByteArray cut = emptyRecords(2) + "1,\"555\",\"say \"hi\" now\"\r\n" + emptyRecords(3)
                               + "0\r\n\"12\"3\"\r\n\"\"\r\n" + emptyRecords(9);
        QTest::newRow("texts cut, write") << write << cut << "" << 2 << "FILE: The file is not in the form Save "
                                                                         "writes, and the reading rules cut channels 3 and 7";
        QTest::newRow("texts cut, verify") << "verify --port 1 FILE" << cut << "" << 2 << "channels 3 and 7";
        QTest::newRow("manifest line 4") << "verify --batch FILE" << QByteArray("1,,a.txt\n\n2,,b.txt\nCOM 0,,c.txt\n") << ""
                                         << 2 << "FILE: line 4: \"COM 0\" is neither";
        QTest::newRow("one output, two ports") << "read --port 1 --port 2 -o FILE" << QByteArray() << "" << 2
                                               << "a read of several ports needs --output with {port} in it";
        QTest::newRow("two reads, one file") << "read --port 1 --port DIR/COM1 -o DIR/{port}" << QByteArray() << "" << 2
                                             << "\"1\" and \"DIR/COM1\" would both be read into DIR/COM1";
        QTest::newRow("three slave IDs, two ports") << "write --port 1 --port 2 --slave-id 1 --slave-id 2 --slave-id 3 FILE"
                                                    << good << "" << 2 << "3 --slave-id for 2 --port";
        QTest::newRow("missing port") << "write --port 9 --slave-id 1 FILE" << good << "" << 2 << "COM 9";
        QTest::newRow("not a serial port") << "read --port /dev/null" << QByteArray() << "" << 2
                                           << "/dev/null: this is not a serial port.";
        QTest::newRow("missing device") << "read --port /dev/telvarin-none" << QByteArray() << "" << 2
                                        << "/dev/telvarin-none";
        QTest::newRow("slave ID 33") << "write --port 1 --slave-id 33 FILE" << good << "" << 2 << "33";
        QTest::newRow("COM 0") << "verify --port 0 FILE" << good << "" << 2 << "COM number 1 to 255";
        QTest::newRow("COM 255") << "verify --port COM255 FILE" << good << "" << 2 << "COM 255: no serial device";
    }

    // Each failure is one line that names the port or the file; nothing is
    // written anywhere.
    void refusedOrFailed()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, fileContent);
        QFETCH(QString, fault);
        QFETCH(int, exitCode);
        QFETCH(QString, named);
        port_->modem->setSilent(fault == "silent");
        modemsim::ModemState held = port_->modem->state();
        held.putText(0x0000, fault == "quote" ? "1\"\r\n\"2" : "");  // a text the file would read back shorter
        port_->modem->setState(held);
        port_->modem->injectBeforeNextReply(fault == "long" ? "E" : "");  // a reply one byte too long
        if (fault == "stall")
            port_->modem->stallOutputAfterCommand(3);
        else if (fault == "drop")
            port_->modem->dropLineAfterCommand(3);
        QSerialPort other(port_->modem->slavePath());  // another program on the modem
        QVERIFY(fault != "in use" || other.open(QIODevice::ReadWrite));
        QVERIFY(QFile::link(file("gone"), port_->directory() + "/com9"));  // COM 9: its device is not there
        QVERIFY(fileContent.isEmpty() || writeFile(file("table.txt"), fileContent));

        const CliRun result = run(line.replace("FILE", file("table.txt")).replace("DIR", work_->path()).split(' '));

        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.contains(named.replace("FILE", file("table.txt")).replace("DIR", work_->path())), qPrintable(result.err));
        QCOMPARE(result.err.count('\n'), 1);
        QCOMPARE(result.out, QString());
        QCOMPARE(readFile(file("table.txt")), fileContent.isEmpty() ? QByteArray("(missing)") : fileContent);
        QCOMPARE(port_->modem->receivedFrames().size(), fault == "stall" || fault == "drop" ? 3 : fault == "quote" ? 33
                                                        : fault.isEmpty() || fault == "in use" ? 0 : 1);
    }

    // Ctrl-C or SIGTERM ends the run after the transaction under way; the
    // port is free again and FILE keeps what it held.
    void stopSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("line");
        QTest::newRow("Ctrl-C, read") << SIGINT << "read --port 1 -o FILE";
        QTest::newRow("SIGTERM, write") << SIGTERM << "write --port 1 --slave-id 1 FILE";
        QTest::newRow("Ctrl-C, verify") << SIGINT << "verify --port 1 FILE";
        QTest::newRow("Ctrl-C, two units") << SIGINT << "verify --port 2 --port 1 FILE";
    }
    void stopSignal()
    {
        QFETCH(int, signal);
        QFETCH(QString, line);
        const QByteArray kept = emptyRecords(16);
        QVERIFY(writeFile(file("table.txt"), kept));
        QProcess *process = start(line.replace("FILE", file("table.txt")).split(' '));

        QVERIFY(port_->modem->waitForFrames(5, 10000));
        ::kill(pid_t(process->processId()), signal);

        QVERIFY(process->waitForFinished(30000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 128 + signal);
        QVERIFY(port_->modem->receivedFrames().size() <= 6);
        QVERIFY(QString(process->readAllStandardError()).contains("interrupted"));
        QCOMPARE(readFile(file("table.txt")), kept);
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
        for (const QStringList &arguments : {QStringList(), QStringList{"--bogus"}})
            QTest::newRow(qPrintable("window, no display " + arguments.join(' '))) << TELVARIN_APP << arguments << 1
                                                                               << QStringList{"needs a display", "telvarin-cli"};
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
                                             << QStringList{"[--port --slave-id --batch --json --quiet]"};
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

    // Only a character device is a port: links to a folder, a file or a FIFO are not listed.
    void portsListsDevicesOnly()
    {
        const QString ports = port_->directory();
        QVERIFY(QDir().mkdir(file("folder")) && QFile::link(file("folder"), ports + "/com3"));
        QVERIFY(writeFile(file("plain"), "x") && QFile::link(file("plain"), ports + "/com4"));
        QCOMPARE(::mkfifo(qPrintable(ports + "/com5"), 0600), 0);

        const CliRun result = run({"ports"});
        const CliRun report = run({"ports", "--json"});

        QCOMPARE(result.exitCode, 0);
        // Devices of this machine take the numbers from 6 on; a pseudo-terminal has no description.
        const QStringList mapped = result.out.split('\n').filter(QRegularExpression("^COM [1-5]\t"));
        QCOMPARE(mapped, QStringList({"COM 1\t" + file("data/telvarin/ports/com1"), "COM 2\t" + file("data/telvarin/ports/com2")}));
        QJsonObject listed = QJsonDocument::fromJson(report.out.toUtf8()).object();
        listed["ports"] = QJsonArray::fromVariantList(listed["ports"].toArray().toVariantList().mid(0, 2));
        QCOMPARE(QJsonDocument(listed).toJson(), json(QString(R"({'format': 1, 'command': 'ports', 'ports': [
            {'com': 1, 'device': 'DIR/com1', 'description': ''}, {'com': 2, 'device': 'DIR/com2', 'description': ''}]})")
                                                            .replace("DIR", file("data/telvarin/ports"))));
    }

    // A name whose bytes are not UTF-8 is refused, never taken for another name.
    void undecodableNameRefused_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("write") << "write --port 1 --slave-id 1";
        QTest::newRow("read") << "read --port 1 -o";
    }
    void undecodableNameRefused()
    {
        QFETCH(QString, line);
        const QByteArray name = QFile::encodeName(work_->path()) + "/out\xE9.txt";
        const QByteArray table = emptyRecords(16);
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0 && ::write(fd, table.constData(), size_t(table.size())) == table.size() && ::close(fd) == 0);

        QProcess *process = start({"-c", QString("exec \"$0\" %1 \"$1/$(printf 'out\\351.txt')\"").arg(line), TELVARIN_CLI,
                                   work_->path()}, "/bin/sh");

        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 2);
        const QString err = QString::fromUtf8(process->readAllStandardError());
        QVERIFY2(err.contains("/out\\xE9.txt\" is not UTF-8 text"), qPrintable(err));
        QCOMPARE(port_->modem->receivedFrames().size(), 0);
        QVERIFY(!QFile::exists(file("out\uFFFD.txt")));
        QCOMPARE(::unlink(name.constData()), 0);
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
    std::unique_ptr<modemsim::ModemSimulator> second_;
    std::unique_ptr<QTemporaryDir> work_;
    std::unique_ptr<QProcess> process_;
};

QTEST_GUILESS_MAIN(CliTest)
#include "test_cli.moc"
