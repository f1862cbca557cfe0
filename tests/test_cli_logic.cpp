// The command line's own decisions, without a modem: which arguments it
// accepts, and how verify words what it found.
#include "cli/invocation.h"
#include "cli/verify_compare.h"

#include <QTest>

class CliLogicTest : public QObject {
    Q_OBJECT
private slots:
    void arguments_data();
    void arguments();
    void verifyFindings_data();
    void verifyFindings();
};

void CliLogicTest::arguments_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("error");   // part of the usage error; empty when accepted
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("slaveId");     // 0: none

    QTest::newRow("read to stdout") << "read --port 3" << "" << "-" << 0;
    QTest::newRow("read to a file") << "read --port COM255 -o t.txt" << "" << "t.txt" << 0;
    QTest::newRow("device path") << "verify --port /dev/ttyUSB0 --slave-id 32 t.txt" << "" << "t.txt" << 32;
    QTest::newRow("COM 0") << "read --port 0" << "COM number 1 to 255" << "" << 0;
    QTest::newRow("COM 256") << "read --port COM256" << "COM number 1 to 255" << "" << 0;
    QTest::newRow("port by name") << "read --port ttyUSB0" << "COM number 1 to 255" << "" << 0;
    QTest::newRow("write without ID") << "write --port 1 t.txt" << "needs --slave-id" << "" << 0;
    QTest::newRow("slave ID 0") << "write --port 1 --slave-id 0 t.txt" << "slave ID 1 to 32" << "" << 0;
    QTest::newRow("write without file") << "write --port 1 --slave-id 1" << "needs the configuration FILE" << "" << 0;
    QTest::newRow("two files") << "verify --port 1 a.txt b.txt" << "unexpected argument \"b.txt\"" << "" << 0;
    QTest::newRow("output for write") << "write --port 1 --slave-id 1 -o x t.txt" << "takes no --output" << "" << 0;
    QTest::newRow("ports with a port") << "ports --port 1" << "takes no --port" << "" << 0;
    QTest::newRow("unknown command") << "erase --port 1" << "unknown command" << "" << 0;
}

void CliLogicTest::arguments()
{
    QFETCH(QString, line);
    QFETCH(QString, error);
    QFETCH(QString, file);
    QFETCH(int, slaveId);

    const InvocationResult result = parseInvocation(QStringList{"telvarin-cli"} + line.split(' '));

    QVERIFY2(result.error.contains(error) && result.error.isEmpty() == error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.invocation.has_value(), error.isEmpty());
    if (result.invocation) {
        QCOMPARE(result.invocation->file, file);
        QCOMPARE(result.invocation->slaveId.value_or(0), slaveId);
    }
}

void CliLogicTest::verifyFindings_data()
{
    QTest::addColumn<QString>("fileMessage");
    QTest::addColumn<QString>("modemMessage");
    QTest::addColumn<bool>("missed");
    QTest::addColumn<int>("modemSlaveId");  // 0: outside 1 to 32
    QTest::addColumn<QStringList>("differences");
    QTest::addColumn<QStringList>("notChecked");

    QTest::newRow("same") << "Fire" << "Fire" << false << 5 << QStringList() << QStringList();
    QTest::newRow("line break shown")
        << "Fire\r\nexit" << "Fire\nexit" << false << 5
        << QStringList{"Channel 7 message: the modem has \"Fire\\nexit\", the file has \"Fire\\r\\nexit\"."}
        << QStringList();
    QTest::newRow("byte above 127, rest unchecked")
        << QString::fromLatin1("Caf\xE9 ok") << "Caf" << false << 5 << QStringList()
        << QStringList{QString::fromLatin1("Channel 7 message: matches the file up to \"Caf\"; the rest was not "
                                           "checked (from \"\xE9\" on the modem gives nothing back: it never returns "
                                           "a character above 127).")};
    QTest::newRow("byte above 127, start differs")
        << QString::fromLatin1("Caf\xE9") << "Cab" << false << 5
        << QStringList{QString::fromLatin1("Channel 7 message: the modem has \"Cab\", the file has \"Caf\xE9\" "
                                           "(from \"\xE9\" on the modem gives nothing back: it never returns a "
                                           "character above 127).")}
        << QStringList();
    QTest::newRow("not answered") << "Fire" << "" << true << 5
                                  << QStringList{"Channel 7 message: not checked, the modem did not answer when it "
                                                 "was read."}
                                  << QStringList();
    QTest::newRow("slave ID out of range") << "" << "" << false << 0
                                           << QStringList{"Slave ID: the modem has one outside 1 to 32, expected 5."}
                                           << QStringList();
}

// Channel 7's message against the file; every other field agrees, and the
// file asks for slave ID 5.
void CliLogicTest::verifyFindings()
{
    QFETCH(QString, fileMessage);
    QFETCH(QString, modemMessage);
    QFETCH(bool, missed);
    QFETCH(int, modemSlaveId);
    QFETCH(QStringList, differences);
    QFETCH(QStringList, notChecked);
    ChannelTable file;
    file[6] = {true, "0123456789012345", fileMessage};
    ModemReading modem;
    modem.rows = file;
    modem.rows[6].message = modemMessage;
    if (modemSlaveId)
        modem.slaveId = modemSlaveId;
    if (missed)
        modem.outcome.messagesMissed = {6};

    const VerifyFindings findings = compareWithModem(file, 5, modem);

    QCOMPARE(findings.differences, differences);
    QCOMPARE(findings.notChecked, notChecked);
}

QTEST_GUILESS_MAIN(CliLogicTest)
#include "test_cli_logic.moc"
