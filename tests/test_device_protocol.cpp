// The bytes on the line: frames, reply acceptance, the mask and slot texts.
#include "link/device_protocol.h"
#include "transfer/device_read.h"

#include <QTest>

using namespace protocol;

class DeviceProtocolTest : public QObject {
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void settingsReply_data();
    void settingsReply();
    void memoryTextReply_data();
    void memoryTextReply();
    void enableMaskRoundTrip();
    void readSequence();
    void readTakesOverOnlyWritableSlaveIds_data();
    void readTakesOverOnlyWritableSlaveIds();
    void missedFieldsWording();
};

namespace {

// Answers a Read from a script: the E2 reply, then each MR with its slot's
// text, or nothing for the slots listed as silent.
class ScriptedModem : public TransferHost, public ReadTarget {
public:
    QByteArray settings;
    QList<int> silentSlots;  // 0 to 31: phone slots, then message slots
    int slaveIdSet = -1;

    QByteArray transact(const QByteArray &frame) override
    {
        if (frame == frameReadSettings())
            return settings;
        const int slot = sent_++;
        if (silentSlots.contains(slot))
            return {};
        const int count = quint8(frame[6]);
        return QByteArray("R\0", 2) + QByteArray("5").leftJustified(count, '\0');
    }
    bool stopRequested() const override { return false; }
    void setProgress(int) override {}
    void setSlaveId(int slaveId) override { slaveIdSet = slaveId; }
    void setChannelEnabled(int, bool) override {}
    void setPhoneNo(int, const QString &) override {}
    void setMessage(int, const QString &) override {}

private:
    int sent_ = 0;
};

}  // namespace

void DeviceProtocolTest::readTakesOverOnlyWritableSlaveIds_data()
{
    QTest::addColumn<int>("replied");
    QTest::addColumn<int>("taken");
    QTest::newRow("0") << 0 << -1;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("32") << 32 << 32;
    QTest::newRow("33") << 33 << -1;
}

void DeviceProtocolTest::readTakesOverOnlyWritableSlaveIds()
{
    QFETCH(int, replied);
    QFETCH(int, taken);
    ScriptedModem modem;
    modem.settings = QByteArray("E") + char(replied) + QByteArray(3, '\0');
    QCOMPARE(runDeviceRead(modem, modem).status, ReadOutcome::Completed);
    QCOMPARE(modem.slaveIdSet, taken);
}

void DeviceProtocolTest::missedFieldsWording()
{
    ScriptedModem modem;
    modem.settings = QByteArray::fromHex("4501000000");
    QVERIFY(missedFieldsText(runDeviceRead(modem, modem)).isEmpty());
    modem = {};
    modem.settings = QByteArray::fromHex("4501000000");
    modem.silentSlots = {3, 16 + 0, 16 + 15};
    QCOMPARE(missedFieldsText(runDeviceRead(modem, modem)),
             QString("The device did not answer every read. These fields could not be read and kept their "
                     "previous values:\nPhone number: channel 4\nMessage: channels 1, 16"));
}

void DeviceProtocolTest::frames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("E2") << frameReadSettings() << QByteArray::fromHex("26024532");
    QTest::newRow("E0 slave 1") << frameWriteSlaveId(1) << QByteArray::fromHex("2603453001");
    QTest::newRow("E0 slave 32") << frameWriteSlaveId(32) << QByteArray::fromHex("2603453020");
    QTest::newRow("E1 none") << frameWriteEnableMask(0) << QByteArray::fromHex("260445310000");
    QTest::newRow("E1 all") << frameWriteEnableMask(0xFFFF) << QByteArray::fromHex("26044531FFFF");
    QTest::newRow("E1 0,2,15") << frameWriteEnableMask(0x8005) << QByteArray::fromHex("260445310580");
    QTest::newRow("MR phone 5") << frameReadMemory(phoneSlotAddress(5), kPhoneSlotSize)
                                << QByteArray::fromHex("26054D52500010");
    QTest::newRow("MR message 15") << frameReadMemory(messageSlotAddress(15), kMessageReadSize)
                                   << QByteArray::fromHex("26054D520010A0");
    QTest::newRow("MW 12345 ch 0") << frameWriteText(phoneSlotAddress(0), "12345")
                                   << QByteArray::fromHex("260B4D570000063132333435" "00");
    QTest::newRow("MW empty ch 3") << frameWriteText(phoneSlotAddress(3), "")
                                   << QByteArray::fromHex("26064D5730000100");
    QTest::newRow("MW ALARM msg 15") << frameWriteText(messageSlotAddress(15), "ALARM")
                                     << QByteArray::fromHex("260B4D57001006414C41524D00");
    QTest::newRow("MW longest text") << frameWriteText(0, QByteArray(249, 'x')).left(7)
                                     << QByteArray::fromHex("26FF4D570000FA");
    QTest::newRow("MW too long") << frameWriteText(0, QByteArray(250, 'x')) << QByteArray();
}

void DeviceProtocolTest::frames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void DeviceProtocolTest::settingsReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("slaveId");
    QTest::addColumn<int>("mask");
    QTest::newRow("spec example") << QByteArray::fromHex("4503058000") << true << 3 << 0x8005;
    QTest::newRow("slave 0, last byte anything") << QByteArray::fromHex("45000000FF") << true << 0 << 0;
    QTest::newRow("slave 20") << QByteArray::fromHex("4514FFFF00") << true << 20 << 0xFFFF;
    QTest::newRow("six bytes (stray byte in front)") << QByteArray::fromHex("004503058000") << false << 0 << 0;
    QTest::newRow("four bytes") << QByteArray::fromHex("45030580") << false << 0 << 0;
    QTest::newRow("starts with R") << QByteArray::fromHex("5203058000") << false << 0 << 0;
}

void DeviceProtocolTest::settingsReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, accepted);
    const auto settings = decodeSettingsReply(reply);
    QCOMPARE(settings.has_value(), accepted);
    if (accepted) {
        QFETCH(int, slaveId);
        QFETCH(int, mask);
        QCOMPARE(int(settings->slaveId), slaveId);
        QCOMPARE(int(settings->enableMask), mask);
    }
}

void DeviceProtocolTest::memoryTextReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("text");
    const QByteArray head("R\x00", 2);
    QTest::newRow("ten digits then NULs") << head + "0123456789" + QByteArray(6, '\0') << 16 << true << "0123456789";
    QTest::newRow("16 digits, no NUL") << head + "1234567890123456" << 16 << true << "1234567890123456";
    QTest::newRow("slot starts with NUL") << head + QByteArray(16, '\0') << 16 << true << "";
    QTest::newRow("byte after R is anything") << QByteArray("R\xEE", 2) + "42" + QByteArray(14, '\0') << 16 << true << "42";
    QTest::newRow("160 chars, no NUL") << head + QByteArray(160, 'm') << 160 << true << QString(160, 'm');
    QTest::newRow("0xFF first") << head + QByteArray(160, '\xFF') << 160 << true << "";
    QTest::newRow("cut at 0x80") << head + "Fire\x80rest" + QByteArray(151, '\0') << 160 << true << "Fire";
    QTest::newRow("one byte short") << head + QByteArray(159, 'm') << 160 << false << "";
    QTest::newRow("starts with E") << QByteArray("E\x00", 2) + QByteArray(16, 'x') << 16 << false << "";
}

void DeviceProtocolTest::memoryTextReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, count);
    QFETCH(bool, accepted);
    QFETCH(QString, text);
    const auto decoded = decodeMemoryTextReply(reply, count);
    QCOMPARE(decoded.has_value(), accepted);
    if (accepted)
        QCOMPARE(*decoded, text);
}

void DeviceProtocolTest::enableMaskRoundTrip()
{
    EnableFlags flags{};
    flags[0] = flags[2] = flags[15] = true;
    QCOMPARE(encodeEnableMask(flags), quint16(0x8005));
    QCOMPARE(decodeEnableMask(0x8005), flags);
}

void DeviceProtocolTest::readSequence()
{
    const QList<QByteArray> frames = readFrames();
    QCOMPARE(frames.size(), 33);
    QCOMPARE(frames[0], QByteArray::fromHex("26024532"));
    for (int n = 0; n < 16; ++n) {
        QCOMPARE(frames[1 + n], QByteArray::fromHex("26054D52") + char(16 * n) + QByteArray::fromHex("0010"));
        QCOMPARE(frames[17 + n], QByteArray::fromHex("26054D5200") + char(n + 1) + QByteArray::fromHex("A0"));
    }
}

QTEST_GUILESS_MAIN(DeviceProtocolTest)
#include "test_device_protocol.moc"
