// The bytes on the line: frames, reply acceptance, and a Read against a scripted modem.
#include "link/device_protocol.h"
#include "transfer/device_read.h"
#include "transfer/device_write.h"

#include <QTest>

using namespace protocol;

namespace {

// Answers a Read from a script: the E2 reply, then each MR with "5", or
// nothing for the silent slots (0 to 15 phone slots, 16 to 31 message slots);
// after the replies to the commands in strayAfter (0 the E2, 32 the last),
// bytes come that are no part of them.
class ScriptedModem : public TransferHost, public ReadTarget {
public:
    QByteArray settings;
    QList<int> silentSlots;
    QList<int> strayAfter;
    int slaveIdSet = -1;
    QStringList phoneNos = QStringList(16);
    Exchange transact(const QByteArray &frame, std::optional<ReplyShape>) override
    {
        const int command = commands_++;
        Exchange exchange;
        exchange.sent = exchange.lineChecked = true;
        exchange.strayBefore = strayAfter.contains(command - 1) ? "x" : "";
        if (frame == frameReadSettings())
            exchange.reply = settings;
        else if (!silentSlots.contains(command - 1))
            exchange.reply = QByteArray("R\0", 2) + QByteArray("5").leftJustified(quint8(frame[6]), '\0');
        return exchange;
    }
    bool quietAfterLastReply() override { return !strayAfter.contains(commands_ - 1); }
    bool stopRequested() const override { return false; }
    void setProgress(int) override {}
    void setSlaveId(int slaveId) override { slaveIdSet = slaveId; }
    void setChannelEnabled(int, bool) override {}
    void setPhoneNo(int channel, const QString &phoneNo) override { phoneNos[channel] = phoneNo; }
    void setMessage(int, const QString &) override {}

private:
    int commands_ = 0;
};

QByteArray hex(const char *spaced) { return QByteArray::fromHex(spaced); }

}  // namespace

class DeviceProtocolTest : public QObject {
    Q_OBJECT
private slots:
    void frames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("E1 0,2,15") << frameWriteEnableMask(0x8005) << hex("26 04 45 31 05 80");
        QTest::newRow("MW empty ch 3") << frameWriteText(phoneSlotAddress(3), "") << hex("26 06 4D 57 30 00 01 00");
        QTest::newRow("MW ALARM msg 15") << frameWriteText(messageSlotAddress(15), "ALARM")
                                         << hex("26 0B 4D 57 00 10 06 41 4C 41 52 4D 00");
        QTest::newRow("MW longest text") << frameWriteText(0, QByteArray(249, 'x')).left(7) << hex("26 FF 4D 57 00 00 FA");
        QTest::newRow("MW too long") << frameWriteText(0, QByteArray(250, 'x')) << QByteArray();
    }
    void frames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, expected);
        QCOMPARE(frame.toHex(' '), expected.toHex(' '));
    }

    // What a reply decodes to: "slave ID, mask" for E2 (count 0), the text for MR; null when rejected.
    void replies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("decoded");
        const QByteArray head("R\x00", 2);
        QTest::newRow("three channels") << hex("45 03 05 80 00") << 0 << "3, 8005";
        QTest::newRow("slave 0, last byte anything") << hex("45 00 00 00 FF") << 0 << "0, 0";
        QTest::newRow("six bytes (a stray byte behind)") << hex("45 03 05 80 00 00") << 0 << QString();
        QTest::newRow("four bytes") << hex("45 03 05 80") << 0 << QString();
        QTest::newRow("starts with R") << hex("52 03 05 80 00") << 0 << QString();
        QTest::newRow("ten digits then NULs") << head + "0123456789" + QByteArray(6, '\0') << 16 << "0123456789";
        QTest::newRow("16 digits, no NUL") << head + "1234567890123456" << 16 << "1234567890123456";
        QTest::newRow("slot starts with NUL") << head + QByteArray(16, '\0') << 16 << "";
        QTest::newRow("byte after R is anything") << QByteArray("R\xEE", 2) + "42" + QByteArray(14, '\0') << 16 << "42";
        QTest::newRow("160 chars, no NUL") << head + QByteArray(160, 'm') << 160 << QString(160, 'm');
        QTest::newRow("cut at 0x80") << head + "Fire\x80rest" + QByteArray(151, '\0') << 160 << "Fire";
        QTest::newRow("one byte short") << head + QByteArray(159, 'm') << 160 << QString();
        QTest::newRow("starts with E") << QByteArray("E\x00", 2) + QByteArray(16, 'x') << 16 << QString();
    }
    void replies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, count);
        QFETCH(QString, decoded);
        std::optional<QString> got;
        if (count > 0)
            got = decodeMemoryTextReply(reply, count);
        else if (const auto settings = decodeSettingsReply(reply))
            got = QString("%1, %2").arg(int(settings->slaveId)).arg(settings->enableMask, 0, 16);
        QCOMPARE(got.has_value(), !decoded.isNull());
        QCOMPARE(got.value_or(QString()), decoded);
    }

    // A Read takes over only the slave IDs the tool can write, and names the
    // fields no reply came for, or whose reply was followed by stray bytes
    // (those fields keep their values, as the settings do before the "E2"
    // reply is known to stand alone).
    void readOfScriptedModem_data()
    {
        QTest::addColumn<int>("replied");
        QTest::addColumn<QList<int>>("silentSlots");
        QTest::addColumn<QList<int>>("strayAfter");
        QTest::addColumn<int>("taken");
        QTest::addColumn<QString>("warning");
        const QString missed = "The device did not answer every read. These fields could not be read and kept their "
                               "previous values:\n";
        QTest::newRow("0") << 0 << QList<int>{} << QList<int>{} << -1 << "";
        QTest::newRow("1") << 1 << QList<int>{} << QList<int>{} << 1 << "";
        QTest::newRow("32, missed") << 32 << QList<int>{3, 16, 31} << QList<int>{} << 32
                                    << missed + "Phone number: channel 4\nMessage: channels 1, 16";
        QTest::newRow("33") << 33 << QList<int>{} << QList<int>{} << -1 << "";
        QTest::newRow("stray bytes after replies") << 7 << QList<int>{} << QList<int>{1, 4, 32} << 7
                                                   << missed + "Phone number: channels 1, 4\nMessage: channel 16";
        QTest::newRow("stray bytes after the settings") << 7 << QList<int>{} << QList<int>{0} << -1 << "no answer";
    }
    void readOfScriptedModem()
    {
        QFETCH(int, replied);
        QFETCH(QList<int>, silentSlots);
        QFETCH(QList<int>, strayAfter);
        QFETCH(int, taken);
        QFETCH(QString, warning);
        ScriptedModem modem;
        modem.settings = QByteArray("E") + char(replied) + QByteArray(3, '\0');
        modem.silentSlots = silentSlots;
        modem.strayAfter = strayAfter;
        const ReadOutcome outcome = runDeviceRead(modem, modem);
        QCOMPARE(modem.slaveIdSet, taken);
        QCOMPARE(outcome.status == ReadOutcome::NoAnswer ? "no answer" : missedFieldsText(outcome), warning);
        QCOMPARE(modem.phoneNos[0], QString(strayAfter.contains(1) || outcome.status == ReadOutcome::NoAnswer ? "" : "5"));
    }

    // A Write refuses, naming the channel and the character, a text that a Read could never give back.
    void writeProblemsNameCharacters_data()
    {
        QTest::addColumn<QString>("phoneNo");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("problem");
        const QString cannot = ", a character the device cannot give back (only 7-bit ASCII without NUL comes back).";
        QTest::newRow("control characters and DEL come back") << "\x01+91" << "a\tb\x7f" << "";
        QTest::newRow("euro") << "" << "5 \u20ac" << "Channel 5: the message holds \"\u20ac\" (U+20AC)" + cannot;
        QTest::newRow("emoji, one character") << "" << "hot \U0001F525!" << "Channel 5: the message holds \"\U0001F525\" (U+1F525)" + cannot;
        QTest::newRow("Latin-1, sent as one byte") << "12\u00e93" << "" << "Channel 5: the phone number holds \"\u00e9\" (U+00E9)" + cannot;
        QTest::newRow("NUL") << QString::fromLatin1("1\0002", 3) << "" << "Channel 5: the phone number holds NUL (U+0000)" + cannot;
    }
    void writeProblemsNameCharacters()
    {
        QFETCH(QString, phoneNo);
        QFETCH(QString, message);
        QFETCH(QString, problem);
        WriteRequest request;
        request.rows[4] = {true, phoneNo, message};
        QCOMPARE(writeProblems(request).join('\n'), problem);
    }

    // A Write refuses a slave ID outside the list: none chosen (0) or one past its end.
    void writeProblemsNeedASlaveId()
    {
        const QString refused = "No slave ID is selected: choose one of 01 to 32 in the Slave ID list.";
        for (const auto &[id, problem] : {std::pair{0, refused}, {1, QString()}, {32, QString()}, {33, refused}})
            QCOMPARE(writeProblems(WriteRequest{id, {}}).join('\n'), problem);
    }
};

QTEST_GUILESS_MAIN(DeviceProtocolTest)
#include "test_device_protocol.moc"
