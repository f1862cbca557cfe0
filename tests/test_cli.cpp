// telvarin-cli run as a process against the simulated modem on a
// pseudo-terminal: the frames on the line, the file bytes, what it says and
// the exit codes.
#include "cli/csv_fields.h"
#include "cli/json_report.h"
#include "cli/manifest.h"
#include "cli/progress_bar.h"
#include "cli/unit_target.h"
#include "line_speed.h"
#include "sim_fixture.h"
#include "tools/modemsim/memory_file.h"

#include <QDir>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// AddressSanitizer reserves terabytes of address space and holds freed memory
// back for a while: a limit of either means nothing under it.
constexpr bool kAddressSanitizer = TELVARIN_SANITIZED;

// One record of the file as an installer's text editor shows it.
QByteArray record(bool enabled, const QByteArray &phoneNo, const QByteArray &message)
{
    return (enabled ? "1" : "0") + QByteArray("\r\n\"") + phoneNo + "\"\r\n\"" + message + "\"\r\n";
}

QByteArray emptyRecords(int count) { return record(false, "", "").repeated(count); }

QByteArray hex(const char *spaced) { return QByteArray::fromHex(spaced); }

// A unit as the command line names its port.
UnitTarget unit(const QString &port, const QString &file = {})
{
    QString refused;
    return {parseUnitPort(port, &refused).value(), {}, file};
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

// The process has the file open.
bool holdsOpen(qint64 pid, const QString &path)
{
    for (const QFileInfo &fd : QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryInfoList(QDir::System))
        if (fd.symLinkTarget() == path)
            return true;
    return false;
}

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
        state.putText(0x00F0, "012345678901234");  // channel 16: the longest number, its NUL ending the slot
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
        QVERIFY(QDir().mkpath(file("data/telvarin")) && QFile::link(port_->directory(), file("data/telvarin/ports")));
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

        QCOMPARE(result.said(), QString("0 COM 1 (%1): read the table (slave ID 20).\n").arg(file("data/telvarin/ports/com1")));
        const QByteArray table = record(true, "+911234567890", "Fire, site A") + record(false, "", "Caf")
                                 + emptyRecords(13) + record(true, "012345678901234", "");
        QCOMPARE(readFile(file("table.txt")), table);
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
        QVERIFY2(partial.exitCode == 1 && partial.err.contains("(phone number of channels 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16; "
                                      "message of channels 1, 2, 3, ")
                     && partial.err.endsWith("table.txt was not written.\n"),
                 qPrintable(partial.err));
        QCOMPARE(readFile(file("table.txt")), table);
        // verify then cannot tell: not a difference, the fields not read are named.
        const CliRun unsure = run({"verify", "--port", "1", "--json", file("table.txt")});
        const QJsonObject unit = QJsonDocument::fromJson(unsure.out.toUtf8())["units"][0].toObject();
        QCOMPARE(QString::number(unsure.exitCode) + unit["result"].toString() + unit["failedFields"][31]["field"].toString(), QString("1incompletemessage"));
        QCOMPARE(unit["differences"].toArray().size() + unit["failedFields"].toArray().size(), 32);
        QVERIFY2(unit["errors"][0].toString().endsWith("so those fields were not checked; 0 differences from "
                                                       + file("table.txt") + " in the rest."), qPrintable(unsure.out));
    }

    void writeThenVerify()
    {
        QVERIFY(writeFile(file("site.txt"), record(true, "12345", "Intruder") + emptyRecords(8)
                                                + record(false, "+441234567890", "Gas leak\r\nexit")
                                                + emptyRecords(5) + record(true, "", "Cafe ok")));

        const CliRun written = run({"write", "--port", "1", "--slave-id", "32", file("site.txt")});

        QCOMPARE(written.said(), QString("0 COM 1 (%1): wrote slave ID 32 and the table of %2.\n").arg(file("data/telvarin/ports/com1"), file("site.txt")));
        const QList<QByteArray> frames = port_->modem->receivedFrames();
        QCOMPARE(frames.size(), 1 + 34);  // the settings asked for first
        QCOMPARE(frames.first(5) + frames.last(1),
                 QList<QByteArray>({hex("26 02 45 32"), hex("26 03 45 30 20"), hex("26 04 45 31 01 80"),
                                    hex("26 0b 4d 57 00 00 06 31 32 33 34 35 00"), hex("26 06 4d 57 10 00 01 00"),
                                    hex("26 0d 4d 57 00 10 08 43 61 66 65 20 6f 6b 00")}));

        // The simulator keeps the slave ID and the flags across a restart.
        QVERIFY(modemsim::saveMemoryFile(file("modem.bin"), port_->modem->state(), nullptr));
        QCOMPARE(readFile(file("modem.bin")).mid(65536).toHex(' '), QByteArray("20 01 80"));
        modemsim::ModemState restarted;
        QVERIFY(modemsim::loadMemoryFile(file("modem.bin"), restarted, nullptr));
        port_->modem->setState(restarted);
        const CliRun same = run({"verify", "--port", "COM 1", "--slave-id", "32", file("site.txt")});
        QVERIFY2(same.exitCode == 0 && same.out.isEmpty() && same.err.endsWith("/com1): holds the table of " + file("site.txt") + " and slave ID 32.\n"), qPrintable(same.err));
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
        QCOMPARE(differing.said(), "1 Slave ID: the modem has one outside 1 to 32, expected 32.\n"
                                   "Channel 1 message: the modem has \"Intruder!\", the file has \"Intruder\".\n"
                                   "Channel 2: enabled in the modem, disabled in the file.\n"
                                   "Channel 10 phone number: the modem has \"+441234567899\", the file has \"+441234567890\".\n"
                                   "Channel 16 message: the modem has \"Cab\", the file has \"Cafe ok\".\n"
                                   "telvarin-cli: COM 1 (" + file("data/telvarin/ports/com1") + "): 5 differences from "
                                       + file("site.txt") + ".\n");
    }

    // write --verify reads the modem back: a write the modem lost is one
    // difference (exit 1, as verify says it), and a silent unit gets no write
    // command. A read and a verify name a phone slot with no end mark, and
    // the read a slave ID it cannot keep.
    void writeVerifyAndModemsOutOfRule()
    {
        modemsim::ModemSimulator silent;
        silent.setSilent(true);
        QVERIFY(silent.start() && silent.createLink(port_->directory() + "/com3"));
        QVERIFY(writeFile(file("site.txt"), record(true, "12345", "Intruder") + emptyRecords(15)));
        port_->modem->forgetCommand(20);  // the settings, E0, E1, 16 numbers: channel 1's message is lost

        const CliRun checked = run({"write", "--verify", "--port", "1", "--port", "3", "--slave-id", "7", file("site.txt"), "--json"});

        QCOMPARE(QList<qsizetype>({checked.exitCode, port_->modem->receivedFrames().size()}), QList<qsizetype>({1, 1 + 34 + 33}));
        QCOMPARE(silent.receivedFrames(), QList<QByteArray>{hex("26 02 45 32")});
        QCOMPARE(reportWithoutTimes(checked.out), expected(R"({'format': 1, 'command': 'write', 'exitCode': 1, 'errors': [], 'units': [
            {'port': '1', 'label': 'COM 1 (DIR/com1)', 'device': 'DIR/com1', 'slaveId': 7, 'file': 'SITE', 'result': 'differs',
             'exitCode': 1, 'durationMs': 0, 'errors': ['COM 1 (DIR/com1): wrote slave ID 7 and the table of SITE, but read
             back the modem shows 1 difference.'], 'failedFields': [],
             'differences': [{'channel': 1, 'field': 'message', 'modem': 'Fire, site A', 'file': 'Intruder'}]},
            {'port': '3', 'label': 'COM 3 (DIR/com3)', 'device': 'DIR/com3', 'slaveId': 7, 'file': 'SITE', 'result': 'no-answer',
             'exitCode': 1, 'durationMs': 0, 'errors': ['COM 3 (DIR/com3): Cannot communicate with device (no answer to the
             first read); nothing was written.'], 'failedFields': [], 'differences': []}]})"));
        const QString label = "COM 1 (" + file("data/telvarin/ports/com1") + ")";
        const CliRun one = run({"verify", "--fast", "--port", "1", "--slave-id", "7", file("site.txt")});
        QCOMPARE(QString::number(one.exitCode) + one.out + one.err,
                 "1Channel 1 message: the modem has \"Fire, site A\", the file has \"Intruder\".\ntelvarin-cli: " + label
                     + ": 1 difference from " + file("site.txt") + ".\n");
        const CliRun again = run({"write", "--verify", "--port", "1", "--slave-id", "7", file("site.txt")});
        QCOMPARE(QString::number(again.exitCode) + again.err,
                 "0" + label + ": wrote slave ID 7 and the table of " + file("site.txt") + "; read back, the modem holds them.\n");

        modemsim::ModemState odd = port_->modem->state();
        odd.slaveId = 45;
        odd.memory.replace(0x00F0, 16, "0123456789012345");
        port_->modem->setState(odd);
        const CliRun read = run({"read", "--fast", "--port", "1", "-o", file("read.txt")});
        QCOMPARE(QString::number(read.exitCode) + read.err,
                 "0" + label + ": read the table (slave ID 45, outside 1 to 32: not kept, and no write sets it back); "
                               "the phone number of channel 16 runs into the next slot (no end mark in its 16 bytes).\n");
        const CliRun runsOn = run({"verify", "--fast", "--port", "1", file("site.txt")});
        QCOMPARE(QString::number(runsOn.exitCode) + runsOn.out,
                 "1Channel 16 phone number: the modem has \"0123456789012345\" with no end mark in its 16 bytes, so it "
                 "runs into the next slot; the file has \"\".\n");
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
                                                + emptyRecords(13) + record(true, "012345678901234", "")));
        QVERIFY(writeFile(file("bench.csv"), "port,slave id,file\n# bench 1\n2, 20 ,site.txt\r\n\n3,,\"site.txt\"\n1,20,site.txt\n"));

        const CliRun text = run({"verify", "--batch", file("bench.csv")});

        QCOMPARE(QList<qsizetype>({text.exitCode, port_->modem->receivedFrames().size(), second_->receivedFrames().size(),
                                   silent.receivedFrames().size()}), QList<qsizetype>({1, 33, 33, 1}));
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
        QCOMPARE(reportWithoutTimes(report.out), expected(R"({'format': 1, 'command': 'verify', 'exitCode': 1, 'errors': [], 'units': [
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
             'exitCode': 0, 'durationMs': 0, 'errors': [], 'failedFields': [], 'differences': []}]})"));
    }

    // The report of a read carries the table; a write of two units reports
    // each, the one whose line was lost as failed; a read of two ports saves
    // one file each.
    void jsonOfReadAndWrite()
    {
        const CliRun read = run({"read", "--port", "1", "--json"});

        QCOMPARE(QString::number(read.exitCode) + read.err, QString("0"));  // the note for people stays off standard error
        QString empty;
        for (int channel = 3; channel <= 15; ++channel)
            empty += QString("{'channel': %1, 'enabled': false, 'phoneNo': '', 'message': ''}, ").arg(channel);
        QCOMPARE(reportWithoutTimes(read.out), expected(QString(R"({'format': 1, 'command': 'read', 'exitCode': 0, 'errors': [], 'units': [
            {'port': '1', 'label': 'COM 1 (DIR/com1)', 'device': 'DIR/com1', 'slaveId': 20, 'file': '-', 'result': 'ok',
             'exitCode': 0, 'durationMs': 0, 'errors': [], 'failedFields': [], 'channels': [
                {'channel': 1, 'enabled': true, 'phoneNo': '+911234567890', 'message': 'Fire, site A'},
                {'channel': 2, 'enabled': false, 'phoneNo': '', 'message': 'Caf', 'messageBytes': '436166e9206f6b'}, EMPTY
                {'channel': 16, 'enabled': true, 'phoneNo': '012345678901234', 'message': ''}]}]})")
                                                            .replace("EMPTY", empty)));

        QVERIFY(writeFile(file("site.txt"), emptyRecords(16)));
        second_->dropLineAfterCommand(4);  // the settings asked for, then 3 writes
        const CliRun write = run({"write", "--port", "1", "--port", "COM2", "--slave-id", "5", file("site.txt"), "--json"});
        QCOMPARE(reportWithoutTimes(write.out), expected(R"({'format': 1, 'command': 'write', 'exitCode': 1, 'errors': [], 'units': [
            {'port': '1', 'label': 'COM 1 (DIR/com1)', 'device': 'DIR/com1', 'slaveId': 5, 'file': 'SITE', 'result': 'ok',
             'exitCode': 0, 'durationMs': 0, 'errors': [], 'failedFields': []},
            {'port': 'COM2', 'label': 'COM 2 (DIR/com2)', 'device': 'DIR/com2', 'slaveId': 5, 'file': 'SITE', 'result': 'failed',
             'exitCode': 1, 'durationMs': 0, 'errors': ['The connection on COM 2 (DIR/com2) was lost: the adapter was removed or
             the line hung up. 3 of 34 commands reached the line, so the device holds only part of this configuration.'],
             'failedFields': []}]})"));
        QCOMPARE(QList<qsizetype>({write.exitCode, port_->modem->receivedFrames().size()}), QList<qsizetype>({1, 33 + 1 + 34}));

        second_->dropLineAfterCommand(-1);
        second_ = std::make_unique<modemsim::ModemSimulator>(port_->modem->state());
        QVERIFY(second_->start() && second_->createLink(port_->directory() + "/com2"));
        const CliRun both = run({"read", "--port", "1", "--port", "2", "-q", "-o", file("t-{port}.txt")});
        QVERIFY(both.exitCode == 0 && readFile(file("t-COM2.txt")) == readFile(file("t-COM1.txt")));
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
        result.outcome = {ReadOutcome::Stopped, {}, {0, 1}, true, {}, {}};
        result.differences = {{Difference::SlaveId, -1, false, QVariant(), 7, {}}, {Difference::Enabled, 1, false, true, false, {}},
                               {Difference::Message, 0, true, QVariant(), "Fire", {}}};

        const QByteArray report = unitsReport(Invocation::Verify, {result}, 130);

        QCOMPARE(QJsonDocument::fromJson(report).toJson(), expected(R"({'format': 1, 'command': 'verify', 'exitCode': 130, 'errors': [],
            'units': [{'port': '/dev/ttyUSB0', 'label': '/dev/ttyUSB0', 'device': null, 'slaveId': 7, 'file': 'site.txt',
            'result': 'interrupted', 'exitCode': 130, 'durationMs': 0, 'errors': [],
            'failedFields': [{'channel': null, 'field': 'settings'}, {'channel': 1, 'field': 'message'},
                             {'channel': 2, 'field': 'message'}],
            'differences': [{'channel': null, 'field': 'slave ID', 'modem': null, 'file': 7},
                            {'channel': 2, 'field': 'enabled', 'modem': true, 'file': false}]}]})"));
    }

    // One line of a manifest, field by field. The fields of every line taken
    // are the reference reader's output (Python 3.11's csv.reader, default
    // dialect, run once on these bytes); a line it reads in a way a
    // spreadsheet would not write is refused instead.
    void csvFieldsAsTheReferenceReads()
    {
        auto taken = [](const char *name, const QByteArray &line, const QStringList &fields, const QString &error = {}) {
            const CsvFields csv = csvFields(line);
            QVERIFY2(csv.fields == fields && csv.error == error, qPrintable(name + (": " + csv.fields.join('|')) + csv.error));
        };
        auto refused = [&](const char *name, const QByteArray &line, const QString &error) { taken(name, line, {}, error); };
        taken("plain", "1,3,site.txt", {"1", "3", "site.txt"});
        taken("leading blank kept", "1,3,\" site.txt\"", {"1", "3", " site.txt"});
        taken("doubled quote", "1,3,\"a\"\"b.txt\"", {"1", "3", "a\"b.txt"});
        taken("comma in quotes", "/dev/ttyUSB1,,\"annex, east.txt\"", {"/dev/ttyUSB1", "", "annex, east.txt"});
        taken("blanks kept", "  1 , 20 ,site.txt ", {"  1 ", " 20 ", "site.txt "});
        taken("UTF-8", "1,3,caf\xc3\xa9.txt", {"1", "3", "caf\u00e9.txt"});
        taken("all quoted, empty", "\"1\",\"\",\"\"", {"1", "", ""});
        taken("tab", "1,3,\"x\ty.txt\"", {"1", "3", "x\ty.txt"});
        taken("a lone quote", "1,3,\"\"\"\"", {"1", "3", "\""});
        taken("all empty", ",,", {"", "", ""});
        taken("quotes and commas", "COM 2,32,\"a,b,\"\"c\"\",d\"", {"COM 2", "32", "a,b,\"c\",d"});
        taken("four fields", "1,3,a.txt,", {"1", "3", "a.txt", ""});
        // The reference gives a""b.txt, a"b | c"d.txt, ab.txt, 'a ', ' "1"', a NUL kept.
        refused("doubled quote, unquoted", "1,3,a\"\"b.txt", "a double quote inside field 3, which does not start with one");
        refused("quote splits fields", "1,2,a\"b,c\"d.txt", "a double quote inside field 3, which does not start with one");
        refused("text after quote", "1,3,\"a\"b.txt", "text after the closing quote of field 3");
        refused("blank after quote", "1,3,\"a\" ", "text after the closing quote of field 3");
        refused("blank before quote", " \"1\",3,a.txt", "a double quote inside field 1, which does not start with one");
        refused("NUL", QByteArray("1,3,site.txt\0junk", 17), "a NUL byte in the line");
        refused("Latin-1", "1,3,caf\xe9.txt", "the line is not UTF-8 text");
        refused("lone CR", "1,3,a\rb.txt", "a carriage return inside the line");
        refused("open quote", "1,3,\"a.txt", "a quote is not closed");
    }

    // The manifest as a technician writes it; a line that cannot be used is
    // named by its number, and nothing else is taken for a header.
    void manifestLines()
    {
        auto read = [](const char *name, const QByteArray &text, bool slaveIdRequired, const QString &units) {
            const ManifestResult manifest = parseManifest(text, "/m", slaveIdRequired);
            QStringList got;  // port|slave ID|file; ... or line: error
            for (const UnitTarget &unit : manifest.units)
                got.append(QStringList{unit.port.name, unit.slaveId ? QString::number(*unit.slaveId) : "-", unit.file}.join('|'));
            const QString taken = manifest.error.isEmpty() ? got.join(';') : QString("%1: %2").arg(manifest.badLine).arg(manifest.error);
            QVERIFY2(taken == units, qPrintable(name + (": " + taken)));
        };
        read("header, comments, quotes", "\xEF\xBB\xBF Port ,SLAVE ID,File\n# bench\n\n  1 ,3,a.txt\r\n/dev/ttyUSB1,,\"b, \"\"c\"\".txt\"\n"
             "4,32,/abs/d.txt", false, "1|3|/m/a.txt;/dev/ttyUSB1|-|/m/b, \"c\".txt;4|32|/abs/d.txt");
        read("slave ID left out", "/dev/ttyUSB1,,b.txt", false, "/dev/ttyUSB1|-|/m/b.txt");
        read("a port named port", "ports/com1,1, b.txt\n", false, "ports/com1|1|/m/ b.txt");
        read("not the column names", "port,id,file\n1,1,a\n", false, "1: \"port\" is neither a COM number 1 to 255 nor a device path");
        read("COM 0", "port,slave id,file\n1,1,a\nCOM 0,1,a\n", false, "3: \"COM 0\" is neither a COM number 1 to 255 nor a device path");
        read("a header later", "1,1,a\nport,slave id,file\n", false, "2: \"port\" is neither a COM number 1 to 255 nor a device path");
        read("two fields", "# c\n1,a.txt\n", false, "2: 2 fields where port, slave ID and file are expected");
        read("four fields", "1,1,a.txt\n2,1,a.txt,b.txt\n", false, "2: 4 fields where port, slave ID and file are expected");
        read("quote, line 3", "1,1,a\r\n\r\n2,1,a\"\"b\r\n", false, "3: a double quote inside field 3, which does not start with one");
        read("slave ID needed", "1,,a.txt", true, "1: \"\" is not a slave ID 1 to 32");
        read("slave ID 33", "1,33,a.txt", false, "1: \"33\" is not a slave ID 1 to 32");
        read("no file", "1,3,", false, "1: no file");
        read("open quote", "\n1,3,\"a.txt\n", false, "2: a quote is not closed");
        read("no units", "port,slave id,file\n# none\n", false, "0: no units in it");
    }

    // {port} names each unit's file; two units that would share one are refused.
    void outputPattern()
    {
        QCOMPARE(expandOutputPattern("/s/{port}/t-{port}.txt", unit("com 7").port), QString("/s/COM7/t-COM7.txt"));
        QCOMPARE(expandOutputPattern("t-{port}.txt", unit("/dev/serial/by-id/usb-FTDI-port0").port), QString("t-usb-FTDI-port0.txt"));
        const QList<UnitTarget> clash{unit("/dev/a/ttyUSB0", "ttyUSB0.txt"), unit("/dev/b/ttyUSB0", "./ttyUSB0.txt")};
        QCOMPARE(unitListProblem(clash, true), QString("\"/dev/a/ttyUSB0\" and \"/dev/b/ttyUSB0\" would both be read into ./ttyUSB0.txt"));
        QCOMPARE(unitListProblem(clash, false), QString());
        QCOMPARE(unitListProblem({unit("3", "a"), unit("COM 3", "b")}, false), QString("the port \"3\" is given twice (as \"COM 3\")"));
        // Names that lead to one file or one device through links, before and after the file exists.
        QVERIFY(QDir().mkdir(file("a")) && QFile::link(file("a"), file("b")));
        const QList<UnitTarget> linked{unit("/dev/x1", file("a/out.txt")), unit("/dev/x2", file("b/out.txt"))};
        for (const char *state : {"new", "existing"}) {
            QCOMPARE(unitListProblem(linked, true), "\"/dev/x1\" and \"/dev/x2\" would both be read into " + file("b/out.txt"));
            QVERIFY2(writeFile(file("a/out.txt"), "x"), state);
        }
        const QString com1 = port_->directory() + "/com1", pts = port_->modem->slavePath();
        QCOMPARE(unitListProblem({unit(com1, "a"), unit(pts, "b")}, false), QString("the port \"%1\" is given twice (as \"%2\")").arg(com1, pts));
    }

    // Each failure is one line that names the port or the file; nothing is
    // written anywhere.
    void refusedOrFailed()
    {
        const QByteArray good = emptyRecords(16);
        const QByteArray longPhoneNo = emptyRecords(11) + record(false, "1234567890123456", "") + emptyRecords(4);
        const QByteArray latin1 = emptyRecords(2) + record(false, "", "Caf\xE9") + emptyRecords(13);
        const QString write = "write --port 1 --slave-id 1 FILE";
        // fault: of the modem or the line; fileContent: of FILE, none when empty
        auto row = [this](const char *name, QString line, const QByteArray &fileContent, const QString &fault, int exitCode,
                          QString named) {
            cleanup(), init();  // a fresh modem and folder for each
            QVERIFY2(!line.contains("/shared/") || plantInSharedFolder(), name);
            port_->modem->setSilent(fault == "silent");
            modemsim::ModemState held = port_->modem->state();
            held.putText(0x0000, fault == "quote" ? "1\"\r\n\"2" : "");  // a text the file would read back shorter
            port_->modem->setState(held);
            port_->modem->injectBeforeNextReply(fault == "long" ? "E" : "");  // a reply one byte too long
            if (fault == "stall")
                port_->modem->stallOutputAfterCommand(4);  // the settings asked for, then 3 writes
            else if (fault == "drop")
                port_->modem->dropLineAfterCommand(4);
            QSerialPort other(port_->modem->slavePath());  // another program on the modem
            QVERIFY(fault != "in use" || other.open(QIODevice::ReadWrite));
            QVERIFY(QFile::link(file("gone"), port_->directory() + "/com9"));  // COM 9: its device is not there
            QVERIFY(fileContent.isEmpty() || writeFile(file("table.txt"), fileContent));
            QVERIFY(fault != "fifo" || ::mkfifo(qPrintable(file("fifo")), 0600) == 0);
            QFile big(file("big.csv"));  // sparse: 16 MB and a byte of nothing
            QVERIFY(fault != "big" || (big.open(QIODevice::WriteOnly) && big.resize(16 * 1024 * 1024 + 1)));

            const CliRun result = run(line.replace("FILE", file("table.txt")).replace("DIR", work_->path()).split(' '));

            named.replace("FILE", file("table.txt")).replace("DIR", work_->path());
            QVERIFY2(result.exitCode == exitCode && result.err.contains(named) && result.err.count('\n') == 1 && result.out.isEmpty(),
                     qPrintable(name + (": " + result.said())));
            QVERIFY2(readFile(file("table.txt")) == (fileContent.isEmpty() ? QByteArray("(missing)") : fileContent), name);
            const int frames = fault == "stall" || fault == "drop" ? 4 : fault == "quote" ? 33
                               : fault.isEmpty() || fault == "in use" || fault == "fifo" || fault == "big" ? 0 : 1;
            QVERIFY2(port_->modem->receivedFrames().size() == frames, name);
            if (fault != "" && fault != "fifo")
                return;
            // With --json a script gets a document all the same, and standard error the error alone.
            const CliRun report = run((line + " --json").split(' '));
            const QJsonObject object = QJsonDocument::fromJson(report.out.toUtf8()).object();
            QStringList errors = object["errors"].toVariant().toStringList();
            for (const QJsonValue unit : object["units"].toArray())
                errors += unit["errors"].toVariant().toStringList();
            QCOMPARE(QList<qsizetype>({report.exitCode, object["exitCode"].toInt(), report.err.count('\n')}),
                     QList<qsizetype>({exitCode, exitCode, 1}));
            QVERIFY2(errors.join('\n').contains(named), qPrintable(name + (": " + report.out)));
        };
        auto refused = [&](const char *name, const char *line, const char *named) { row(name, line, {}, {}, 2, named); };  // at once
        row("quote, read to stdout", "read --port 1", {}, "quote", 2,
            "standard output: Channel 1 cannot be kept exactly in the file. Its phone number holds a double quote");
        row("quote, read to a file", "read --port 1 -o FILE", {}, "quote", 2, "then save again.");
        row("output stalled", write, good, "stall", 1, "/com1): The Write stopped: command 4 did not leave the port");
        row("line lost", write, good, "drop", 1,
            "/com1) was lost: the adapter was removed or the line hung up. 3 of 34 commands reached the line");
        row("line lost, read", "read --port 1 -o check-unit.txt", {}, "drop", 1,
            "hung up. The file check-unit.txt was not written.");
        row("silent, read", "read --port 1", {}, "silent", 1,
            "Cannot communicate with device (no answer to the first read); no file was written.");
        row("port in use", write, good, "in use", 2, "The device is in use by another program");
        row("silent, write", write, good, "silent", 1,
            "/com1): Cannot communicate with device (no answer to the first read); nothing was written.");
        row("too long, fast read", "read --fast --port 1 -o FILE", {}, "long", 1, "COM 1");
        row("--fast on write", write + " --fast", good, "", 2, "write takes no --fast: the modem does not answer");
        refused("read into a folder", "read --port 1 -o DIR", "It is a folder");
        refused("read into a missing folder", "read --port 1 -o FILE/t.txt", "FILE/t.txt: The folder FILE does not exist.");
        refused("read into a device", "read --port 1 -o /dev/null", "/dev/null: It is a character device");
        row("--output on write", write + " -o FILE", good, "", 2, "write takes no --output");
        row("--verify on verify", "verify --verify --port 1 FILE", good, "", 2, "verify takes no --verify");
        row("\u00e9, write", write, latin1, "", 2,
            "FILE: Channel 3: the message holds \"\u00e9\" (U+00E9), a character the device cannot give back");
        row("\u00e9, verify", "verify --port 1 FILE", latin1, "", 2, "FILE: Channel 3: the message holds \"\u00e9\" (U+00E9)");
        row("file cut short", write, emptyRecords(15) + "1\r\n\"x\"\r\n", "", 2, "FILE: line 48");
        row("phone number of 16", write, longPhoneNo, "", 2,
            "FILE: Channel 12: the phone number has 16 characters; the device holds at most 15.");
        row("message of 161", write, emptyRecords(1) + record(false, "", QByteArray(161, 'm')) + emptyRecords(14), "", 2,
            "FILE: Channel 2");
        // A hand-made file whose texts the reading rules cut at an inner quote.
        const QByteArray cut = emptyRecords(2) + "1,\"555\",\"say \"hi\" now\"\r\n" + emptyRecords(3)
                               + "0\r\n\"12\"3\"\r\n\"\"\r\n" + emptyRecords(9);
        row("texts cut, write", write, cut, "", 2,
            "FILE: The file is not in the form Save writes, and the reading rules cut channels 3 and 7");
        row("texts cut, verify", "verify --port 1 FILE", cut, "", 2, "channels 3 and 7");
        row("manifest line 4", "verify --batch FILE", QByteArray("1,,a.txt\n\n2,,b.txt\nCOM 0,,c.txt\n"), "", 2,
            "FILE: line 4: \"COM 0\" is neither");
        refused("one output, two ports", "read --port 1 --port 2 -o FILE",
                "a read of several ports needs --output with {port} in it");
        refused("two reads, one file", "read --port 1 --port DIR/COM1 -o DIR/{port}",
                "\"1\" and \"DIR/COM1\" would both be read into DIR/COM1");
        row("three slave IDs, two ports", "write --port 1 --port 2 --slave-id 1 --slave-id 2 --slave-id 3 FILE", good, "", 2,
            "3 --slave-id for 2 --port");
        row("missing port", "write --port 9 --slave-id 1 FILE", good, "", 2, "COM 9");
        refused("not a serial port", "read --port /dev/null", "/dev/null: this is not a serial port.");
        refused("missing device", "read --port /dev/telvarin-none", "/dev/telvarin-none");
        row("slave ID 33", "write --port 1 --slave-id 33 FILE", good, "", 2, "33");
        row("COM 0", "verify --port 0 FILE", good, "", 2, "COM number 1 to 255");
        row("COM 255", "verify --port COM255 FILE", good, "", 2, "COM 255: no serial device");
        refused("pseudo-terminal multiplexer", "read --port /dev/ptmx", "/dev/ptmx: this is not a serial port.");
        row("--jobs 0", "verify --port 1 --jobs 0 FILE", good, "", 2, "--jobs \"0\" is not a number");
        // A manifest that is no ordinary file is refused at once, one too big unread.
        row("manifest, FIFO", "verify --batch DIR/fifo", {}, "fifo", 2,
            "DIR/fifo: It is a FIFO (named pipe), not an ordinary file.");
        refused("manifest, device", "read --batch /dev/zero", "/dev/zero: It is a character device");
        row("manifest, too big", "verify --batch DIR/big.csv", {}, "big", 2, "DIR/big.csv: larger than 16 MB");
        if (::geteuid() != 0 || !::getpwnam("nobody"))
            QSKIP("plants files of another user (nobody): needs root and the user nobody");
        // Planted by another user in a sticky folder every user may write to.
        refused("read through another's link", "read --port 1 -o DIR/shared/link",
                "DIR/shared/link: DIR/shared/link is a symbolic link of user nobody");
        refused("read over another's file", "read --port 1 -o DIR/shared/planted", "DIR/shared/planted belongs to user nobody");
    }

    // Ctrl-C or SIGTERM ends the run after the transaction under way (after
    // `frames` commands; one: the settings a Write asks a silent modem for
    // first); the port is free again and FILE keeps what it held.
    void stopSignal()
    {
        auto stop = [this](int signal, QString line, int frames, const QString &said) {
            cleanup(), init();  // a fresh modem and folder for each
            const QByteArray kept = emptyRecords(16);
            QVERIFY(writeFile(file("table.txt"), kept));
            port_->modem->setSilent(frames == 1);
            QProcess *process = start(line.replace("FILE", file("table.txt")).split(' '));

            QVERIFY2(port_->modem->waitForFrames(frames, 10000), qPrintable(line));
            ::kill(pid_t(process->processId()), signal);

            const CliRun stopped = finished(*process);  // and not killed by the signal
            QVERIFY2(stopped.exitCode == 128 + signal && stopped.err.contains(said), qPrintable(line + ": " + stopped.said()));
            QVERIFY(port_->modem->receivedFrames().size() <= frames + 1);
            QCOMPARE(readFile(file("table.txt")), kept);
            QCOMPARE(QDir(work_->path()).entryList(QDir::Files), QStringList{"table.txt"});
            QSerialPort again(file("data/telvarin/ports/com1"));
            QVERIFY2(again.open(QIODevice::ReadWrite), qPrintable(line + ": " + again.errorString()));
        };
        stop(SIGINT, "read --port 1 -o FILE", 5, "interrupted");
        stop(SIGTERM, "write --port 1 --slave-id 1 FILE", 5, "commands reached the line, so the device holds only part");
        stop(SIGINT, "write --port 1 --slave-id 1 FILE", 1,  // asking first
             "interrupted; no write command reached the line, so the device holds what it held before.");
        stop(SIGINT, "verify --port 1 FILE", 5, "interrupted");
        stop(SIGINT, "verify --port 2 --port 1 FILE", 5, "interrupted");  // two units
        stop(SIGINT, "verify --jobs 1 --port 1 --port 2 FILE", 5, "2: interrupted before it started;");  // one at a time
    }

    // A modem whose reply is followed by more bytes (the reply again 10 ms
    // later, missing the next command meanwhile; a byte 40 ms after the last
    // reply, inside its window) gets that field reported as not read. A modem
    // that starts late is the link's and the window's to test, on the real line.
    void repeatingModem()
    {
        auto read = [this](const QString &line, int trailOf, const QByteArray &trail, int gapMs, const QString &said) {
            cleanup(), init();  // a fresh modem and folder for each
            port_->modem->trailReplyOfCommand(trailOf, trail, gapMs);
            const CliRun result = run(QString(line).replace("FILE", file("table.txt")).split(' '));
            QVERIFY2(result.exitCode == 1 && result.err.contains(said), qPrintable(line + ": " + result.said()));
        };
        read("read --fast --port 1 -o FILE", 3, {}, 10, "did not answer every read (phone number of channel 2)");  // the reply again
        read("read --fast --port 1", 33, "x", 40, "did not answer every read (message of channel 16)");  // a byte after the last
    }

    // Ctrl-C while the line babbles ends the wait for it to go quiet at once.
    void stopWhileTheLineBabbles()
    {
        port_->modem->sendUnsolicited(QByteArray(8000, 'x'));  // about 8 s at the line rate
        QProcess *process = start({"read", "--port", "1", "-o", file("table.txt")});
        QTRY_VERIFY_WITH_TIMEOUT(holdsOpen(process->processId(), port_->modem->slavePath()), 10000);
        QElapsedTimer sinceSignal;
        sinceSignal.start();
        ::kill(pid_t(process->processId()), SIGINT);
        QVERIFY(process->waitForFinished(30000));
        QVERIFY2(sinceSignal.elapsed() < 1000 && process->exitCode() == 130, qPrintable(QString::number(sinceSignal.elapsed())));
    }

    // Help and version answer over SSH too, where there is no display; what
    // a program cannot use is refused before it starts.
    void answersWithoutDisplay()
    {
        auto answers = [this](const QString &program, QStringList arguments, int exitCode, const QStringList &printed) {
            const CliRun result = run(arguments.replaceInStrings("DIR", work_->path()), program);
            for (QString text : printed)
                QVERIFY2(result.exitCode == exitCode && (exitCode == 0 ? result.out : result.err).contains(text.replace("DIR", work_->path())),
                         qPrintable(program + ' ' + arguments.join(' ') + ": " + result.out + result.err));
        };
        const QString version = TELVARIN_VERSION;
        answers(TELVARIN_APP, {"--help"}, 0, {"telvarin-cli", "telvarin-modem-simulator", "--version"});
        answers(TELVARIN_APP, {"--version"}, 0, {"telvarin " + version + "\n"});
        answers(TELVARIN_APP, {"--help-all"}, 0, {"--platform"});
        answers(TELVARIN_CLI, {"--help"}, 0, {"Exit codes", "--verify    write: then read the modem back"});
        answers(TELVARIN_CLI, {"-v"}, 0, {"telvarin-cli " + version + "\n"});
        for (const QStringList &arguments : {QStringList(), QStringList{"--bogus"}})
            answers(TELVARIN_APP, arguments, 1, {"needs a display", "telvarin-cli"});
        answers(TELVARIN_SIM, {"--help"}, 0, {"--verbose", "--log"});
        answers(TELVARIN_SIM, {"--version"}, 0, {"telvarin-modem-simulator " + version + "\n"});
        // The bash completion, run by bash as bash-completion runs it.
        auto complete = [](const char *words) {
            return QStringList{"-c", "source " TELVARIN_COMPLETION "; COMP_WORDS=(\"$1\" " + QString(words)
                                         + "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _telvarin_cli; echo \"[${COMPREPLY[*]}]\"",
                               "bash", TELVARIN_CLI};
        };
        answers("bash", complete("''"), 0, {"[read write verify ports history sheet -h --help -v --version -q --quiet]"});
        answers("bash", complete("-q write --"), 0,
                {"[--port --slave-id --batch --jobs --json --verify --history --no-history --quiet]"});
        answers("bash", complete("read --port ''"), 0, {"[1"});
        answers("bash", complete("verify --slave-id 3"), 0, {"[3 30 31 32]"});
        answers(TELVARIN_SIM, {"--log", "/telvarin-none/modem.log"}, 1, {"/telvarin-none/modem.log: "});
        if (!plantInSharedFolder())
            QSKIP("plants files of another user (nobody): needs root and the user nobody");
        answers(TELVARIN_SIM, {"--memory", "DIR/shared/link"}, 1, {"DIR/shared/link is a symbolic link of user nobody"});
        answers(TELVARIN_SIM, {"--log", "DIR/shared/planted"}, 1, {"DIR/shared/planted belongs to user nobody"});
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
        QCOMPARE(QJsonDocument(listed).toJson(), expected(R"({'format': 1, 'command': 'ports', 'ports': [
            {'com': 1, 'device': 'DIR/com1', 'description': ''}, {'com': 2, 'device': 'DIR/com2', 'description': ''}]})"));
    }

    // A bench of many units: at most --jobs at once and every unit accounted
    // for; the open-file limit raised as far as it may be, a run it cannot
    // hold refused before the first command, a unit whose thread cannot start
    // failed with the reason while the others go on.
    void manyUnits()
    {
        const RealLineTiming realTiming;  // 24 units at once, on a busy machine
        // limits: for the shell that starts the run; error: of the run, or of each unit that could not start
        int round = 0;  // each round its own links
        auto bench = [this, &round](const QString &limits, int jobs, int exitCode, const QString &error) {
            constexpr int kUnits = 24;
            ++round;
            QElapsedTimer clock;
            clock.start();
            QMutex mutex;
            QList<QPair<qint64, qint64>> spans(kUnits, {-1, -1});  // each unit's first and last command
            std::vector<std::unique_ptr<modemsim::ModemSimulator>> modems;
            QByteArray manifest;
            for (int n = 0; n < kUnits; ++n) {
                modems.push_back(std::make_unique<modemsim::ModemSimulator>(modemsim::ModemState{}));
                modems.back()->setPaceAtLineRate(false);
                modems.back()->setTrafficObserver([&, n](bool incoming, const QByteArray &) {
                    const QMutexLocker lock(&mutex);
                    if (incoming)
                        spans[n] = {spans[n].first < 0 ? clock.elapsed() : spans[n].first, clock.elapsed()};
                });
                QVERIFY(modems.back()->start() && modems.back()->createLink(file(QString("r%1u%2").arg(round).arg(n))));
                manifest += file(QString("r%1u%2,,site.txt\n").arg(round).arg(n)).toUtf8();
            }
            QVERIFY(writeFile(file("units.csv"), manifest) && writeFile(file("site.txt"), emptyRecords(16)));

            QProcess *process = start({"-c", limits + " exec \"$0\" \"$@\"", TELVARIN_CLI, "verify", "--fast", "--json", "--jobs",
                                       QString::number(jobs), "--batch", file("units.csv")}, "/bin/sh");

            QVERIFY(process->waitForFinished(60000));
            const QJsonObject report = QJsonDocument::fromJson(process->readAllStandardOutput()).object();
            QCOMPARE(QList<int>({process->exitCode(), report["exitCode"].toInt()}), QList<int>({exitCode, exitCode}));
            const QJsonArray units = report["units"].toArray();
            QCOMPARE(units.isEmpty() ? report["errors"][0].toString() : QString(), units.isEmpty() ? error : QString());
            QMap<QString, int> results;
            QList<qint64> starts, ends;
            for (int n = 0; n < units.size(); ++n) {
                const QString result = units[n]["result"].toString();
                ++results[result];
                // A unit ran whole, or was never sent to and says why.
                QCOMPARE(modems[n]->receivedFrames().size(), result == "ok" ? 33 : 0);
                QVERIFY(result == "ok" || (result == "failed" && units[n]["errors"][0].toString().endsWith(error) && !error.isEmpty()));
                if (result == "ok")
                    starts.append(spans[n].first), ends.append(spans[n].second);
            }
            QCOMPARE(units.size(), units.isEmpty() ? 0 : kUnits);
            QVERIFY2(error.isEmpty() || units.isEmpty() || (results["ok"] > 0 && results["failed"] > 0),
                     qPrintable(QString::number(results["ok"])));
            // The most units whose commands went out at one moment.
            int most = 0;
            for (qint64 moment : starts)
                most = std::max<int>(most, std::count_if(starts.cbegin(), starts.cend(), [&](qint64 s) { return s <= moment; })
                                               - std::count_if(ends.cbegin(), ends.cend(), [&](qint64 e) { return e < moment; }));
            QVERIFY2(most <= jobs && (jobs != 4 || most >= 2), qPrintable(QString::number(most)));
        };
        bench("", 4, 0, "");  // four at once
        bench("ulimit -S -n 64;", 24, 0, "");  // the soft limit raised
        bench("ulimit -n 64;", 24, 2, "--jobs 24: 24 units at once need about 128 open files, and this system allows 64 (ulimit -n); "
                                      "run with --jobs 8 or fewer; nothing was sent");
        if (kAddressSanitizer)
            QSKIP("AddressSanitizer needs far more address space than the limit on threads leaves");
        // Stacks of 1 GB in 2.5 GB of address space: a thread or two start, the rest cannot.
        bench("ulimit -s 1048576; ulimit -v 2500000;", 24, 2,
              ": its thread could not be started (the system allows no more threads or processes, or has no memory left for one); "
              "nothing was sent to it.");
    }

    // A manifest of 100,000 units is held in well under 100 MB, up to the refusal of a run that big.
    void bigManifestStaysSmall()
    {
        QByteArray manifest = "port,slave id,file\n";
        for (int n = 0; n < 100000; ++n)
            manifest += "/dev/telvarin-none-" + QByteArray::number(n) + ",7,site.txt\n";
        QVERIFY(writeFile(file("big.csv"), manifest) && writeFile(file("site.txt"), emptyRecords(16)));

        const CliRun result = run({"-c", "ulimit -n 1024; exec \"$0\" \"$@\"", TELVARIN_CLI, "write", "--jobs", "100000", "--batch", file("big.csv")}, "/bin/sh");

        QVERIFY2(result.exitCode == 2 && result.err.contains("--jobs 100000: 100000 units at once need about"), qPrintable(result.said()));
        rusage usage {};
        QVERIFY2(::getrusage(RUSAGE_CHILDREN, &usage) == 0 && (usage.ru_maxrss < 100 * 1024 || kAddressSanitizer),
                 qPrintable(QString::number(usage.ru_maxrss)));  // in kB
    }

    // What goes to standard output is checked to its last byte: a report or
    // table that did not reach it is exit code 2 and a message, never a success.
    void fullStandardOutput()
    {
        QVERIFY(writeFile(file("site.txt"), emptyRecords(16)));
        const QString told = "telvarin-cli: standard output: No space left on device; what was printed there is not whole.\n";
        for (const auto &[line, frames] : {std::pair{"read --port 1 --json", 33}, {"read --port 1", 33}, {"verify --port 1 FILE", 33},
                                           {"verify --port 0 --json FILE", 0}, {"ports", 0}, {"ports --json", 0}, {"--version", 0}, {"history --json", 0}}) {
            const qsizetype before = port_->modem->receivedFrames().size();
            const CliRun result = run(QStringList{"-c", "exec \"$0\" \"$@\" >/dev/full", TELVARIN_CLI}
                                          + QString(line).replace("FILE", file("site.txt")).split(' '), "/bin/sh");
            QVERIFY2(result.exitCode == 2 && port_->modem->receivedFrames().size() == before + frames && result.err.endsWith(told),
                     qPrintable(line + (": " + result.err)));
        }
    }

    // A name whose bytes are not UTF-8 is refused, never taken for another name.
    void undecodableNameRefused()
    {
        const QByteArray name = QFile::encodeName(work_->path()) + "/out\xE9.txt";
        const QByteArray table = emptyRecords(16);
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0 && ::write(fd, table.constData(), size_t(table.size())) == table.size() && ::close(fd) == 0);
        for (const QString line : {"write --port 1 --slave-id 1", "read --port 1 -o"}) {
            const CliRun result = run({"-c", QString("exec \"$0\" %1 \"$1/$(printf 'out\\351.txt')\"").arg(line), TELVARIN_CLI,
                                       work_->path()}, "/bin/sh");
            QVERIFY2(result.exitCode == 2 && result.err.contains("/out\\xE9.txt\" is not UTF-8 text"), qPrintable(result.said()));
        }
        QCOMPARE(port_->modem->receivedFrames().size(), 0);
        QVERIFY(!QFile::exists(file("out\uFFFD.txt")));
        QCOMPARE(::unlink(name.constData()), 0);
    }

    // On a terminal a read spells out the control characters of the
    // modem's texts, and says so once; into a pipe it stays byte for byte.
    void readToTerminal()
    {
        modemsim::ModemState held = port_->modem->state();
        held.putText(0x0100, "\x1b]0;owned\x07\tA\r\nB");
        port_->modem->setState(held);
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString terminal = ::ptsname(master);
        const int slave = ::open(qPrintable(terminal), O_RDWR | O_NOCTTY);
        termios raw{};
        QVERIFY(slave >= 0 && ::tcgetattr(slave, &raw) == 0);
        ::cfmakeraw(&raw);
        QVERIFY(::tcsetattr(slave, TCSANOW, &raw) == 0);

        const CliRun toTerminal = run({"-c", "exec \"$0\" read --fast --port 1 > \"$1\"", TELVARIN_CLI, terminal}, "/bin/sh");
        const CliRun toPipe = run({"read", "--fast", "--port", "1"});
        QByteArray shown(8192, '\0');
        shown.truncate(std::max<ssize_t>(0, ::read(master, shown.data(), size_t(shown.size()))));
        ::close(slave);
        ::close(master);

        QVERIFY2(toTerminal.exitCode == 0 && shown.contains("\"\\x1b]0;owned\\x07\tA\r\nB\"\r\n") && !shown.contains('\x1b'), shown.constData());
        const QString note = "standard output is a terminal: control characters in the table are shown as \\xNN. "
                             "Send it to a file for the exact bytes.\n";
        QCOMPARE(toTerminal.err.count(note), 1);
        QVERIFY(toPipe.out.toLatin1().contains("\"\x1b]0;owned\x07\tA\r\nB\"\r\n") && !toPipe.err.contains(note));
    }

    // The simulator names the file its memory could not be saved to.
    void simulatorMemoryNotSaved()
    {
        QVERIFY(QDir().mkdir(file("gone")));
        QProcess *simulator = start({"--memory", file("gone/modem.bin")}, TELVARIN_SIM);
        QVERIFY(simulator->waitForReadyRead(10000));  // its port is up
        QVERIFY(QDir(file("gone")).removeRecursively());
        simulator->terminate();
        const CliRun ended = finished(*simulator);
        QCOMPARE(QString::number(ended.exitCode) + ' ' + ended.err,
                 QString("1 telvarin-modem-simulator: the memory could not be saved to %1: No such file or directory\n").arg(file("gone/modem.bin")));
    }

    // The progress line fits the terminal: the bar shrinks, then the title
    // loses its middle, then the bar goes.
    void progressLineFits()
    {
        const QString title = "Writing COM 3 (/dev/serial/by-id/usb-FTDI_A50285BI-port0)";
        QCOMPARE(progressLine(title, 40, 80), title + " [#####--------]  40 %");
        QCOMPARE(progressLine(title, 40, 60), QString("Writing COM 3 (/dev\u2026FTDI_A50285BI-port0) [####------]  40 %"));
        QCOMPARE(progressLine(title, 40, 30), QString("Writing COM\u202685BI-port0)  40 %"));
    }

private:
    QProcess *start(const QStringList &arguments, const QString &program = TELVARIN_CLI)
    {
        process_ = std::make_unique<QProcess>();
        process_->setProcessEnvironment(programEnvironment(file("data")));
        process_->setWorkingDirectory(work_->path());  // relative names land in the test's folder
        process_->start(program, arguments);
        return process_.get();
    }
    CliRun run(const QStringList &arguments, const QString &program = TELVARIN_CLI) { return finished(*start(arguments, program)); }
    QString file(const QString &name) const { return work_->filePath(name); }
    // A document as a test writes it by hand: single quotes for double ones, a line break
    // with its indent where a text has a blank, DIR the ports folder and SITE the table file.
    QByteArray expected(QString text) const
    {
        text.replace('\'', '"').replace(QRegularExpression("\n *"), " ").replace("DIR", file("data/telvarin/ports"));
        return QJsonDocument::fromJson(text.replace("SITE", file("site.txt")).toUtf8()).toJson();
    }

    // shared/: sticky, every user's; in it nobody's link to ../victim and
    // nobody's file open to all. False unless run as root.
    bool plantInSharedFolder()
    {
        const passwd *nobody = ::getpwnam("nobody");
        return ::geteuid() == 0 && nobody && QDir().mkdir(file("shared")) && writeFile(file("shared/planted"), "planted")
               && ::chmod(qPrintable(file("shared")), 01777) == 0 && ::symlink("../victim", qPrintable(file("shared/link"))) == 0
               && ::lchown(qPrintable(file("shared/link")), nobody->pw_uid, 0) == 0
               && ::chown(qPrintable(file("shared/planted")), nobody->pw_uid, 0) == 0 && ::chmod(qPrintable(file("shared/planted")), 0666) == 0;
    }

    std::unique_ptr<SimulatedPort> port_;
    std::unique_ptr<modemsim::ModemSimulator> second_;
    std::unique_ptr<QTemporaryDir> work_;
    std::unique_ptr<QProcess> process_;
};

QTEST_GUILESS_MAIN(CliTest)
#include "test_cli.moc"
