#include "configfile/config_format.h"

#include <QBuffer>
#include <QTest>

char *toString(const ChannelRow &row)
{
    return QTest::toString(QStringLiteral("{%1, \"%2\", \"%3\"}")
                               .arg(QLatin1String(row.enabled ? "on" : "off"), row.phoneNo, row.message));
}

namespace {

QByteArray emptyRecords(int count) { return QByteArrayLiteral("0\r\n\"\"\r\n\"\"\r\n").repeated(count); }

// The result and where the device was left (a braced list is evaluated in order).
std::pair<ConfigReadResult, qint64> readBytes(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return {readConfig(buffer), buffer.pos()};
}

} // namespace

class TestConfigFormat : public QObject
{
    Q_OBJECT

private slots:
    void formatsKnownBytes()
    {
        QCOMPARE(formatConfig(ChannelTable{}), emptyRecords(16));
        ChannelTable table;
        table[0] = {true, "+911234567890", ""};
        table[7] = {false, "a\"b", "x,y\r\nz"}; // texts go out unescaped
        table[15] = {true, QStringLiteral("\u20ac5"), QStringLiteral("\u00e9t\u4e2d")}; // Latin-1, else '?'
        QCOMPARE(formatConfig(table), "1\r\n\"+911234567890\"\r\n\"\"\r\n" + emptyRecords(6)
                                          + "0\r\n\"a\"b\"\r\n\"x,y\r\nz\"\r\n" + emptyRecords(7)
                                          + "1\r\n\"?5\"\r\n\"\xe9t?\"\r\n");
    }

    // Lines after the 48th are never part of a record, not even bytes that would fail.
    void roundTripIgnoresWhatFollows_data()
    {
        QTest::addColumn<QByteArray>("trailer");
        QTest::newRow("nothing behind") << QByteArray();
        QTest::newRow("binary behind") << QByteArray("\0\x01\x02", 3);
        QTest::newRow("unterminated quote behind") << QByteArray("\"") + QByteArray(5000, 'a');
    }
    void roundTripIgnoresWhatFollows()
    {
        QFETCH(QByteArray, trailer);
        ChannelTable table;
        for (int i = 0; i < kChannelCount; ++i)
            table[i] = {i % 3 == 0, QStringLiteral("+91%1").arg(1000000000 + i),
                        QStringLiteral("Alarm, zone %1").arg(i)};
        table[3] = {};
        table[8].message = QStringLiteral("Line one\r\nLine two, with comma\r\n");
        table[12].phoneNo = QStringLiteral("+44,20\r\n7946");
        table[15].message = QStringLiteral("Fen\u00eatre ouverte \u00e9t\u00e9\tTAB");
        const QByteArray file = formatConfig(table);
        const ConfigReadResult result = readBytes(file + trailer).first;
        QVERIFY2(result.complete, qPrintable(result.error));
        QCOMPARE(result.line, 0);
        QCOMPARE(result.rows, QList<ChannelRow>(table.begin(), table.end()));
    }

    // A file as the tool saves it: quotes, control bytes and every kind of
    // line break inside the quotes are part of the text.
    void readsSavedTextsWhole()
    {
        const QByteArray file = "1\r\n\"+91\"\"\r\n\"Alarm \"Zone 1\" open\"\r\n"
                                "0\r\n\"\x01\x1f\t\"\r\n\"say \"hi\"\r\nnow \"\"\r\n\x7f\xff\"\r\n"
                                + emptyRecords(13)
                                + "1\r\n\"\"\"\r\n\"a\rb\nc\r\n\"\r\n";
        const ConfigReadResult result = readBytes(file).first;
        QVERIFY2(result.complete, qPrintable(result.error));
        QCOMPARE(result.rows[0], (ChannelRow{true, "+91\"", "Alarm \"Zone 1\" open"}));
        QCOMPARE(result.rows[1], (ChannelRow{false, "\x01\x1f\t", "say \"hi\"\r\nnow \"\"\r\n\x7f\u00ff"}));
        QCOMPARE(result.rows[15], (ChannelRow{true, "\"", "a\rb\nc\r\n"}));
    }

    // LF line ends, blanks, leading zeros, commas, unquoted texts, a quote
    // inside a text, a lone CR, the longest field and no final line end.
    void readsLenientRecords()
    {
        const QByteArray file = emptyRecords(12) + " \t001 \n  \"+91\"\n\t\" x\r\ny \"  \n"
                                + "0, +91 22 ,\"hi, there\"\r\n" + "1\r\na\rb\r\n\"say \"hi\" bye\"\r\n"
                                + "0\r\n\"\"\r\n\"" + QByteArray(4094, 'm') + "\"";
        const ConfigReadResult result = readBytes(file).first;
        QVERIFY2(result.complete, qPrintable(result.error));
        const QList<ChannelRow> expected = {{true, "+91", " x\r\ny "}, {false, "+91 22", "hi, there"},
                                            {true, "a\rb", "say "}, {false, "", QString(4094, 'm')}};
        QCOMPARE(result.rows.sliced(12), expected);
    }

    void stopsAtProblem_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("reason");
        // Four records on lines 1 to 13: the last message spans two lines.
        const QByteArray four = emptyRecords(3) + "1\r\n\"\"\r\n\"a\r\nb\"\r\n";
        QTest::newRow("empty file") << QByteArray() << 0 << 1 << "empty";
        QTest::newRow("ten records") << emptyRecords(10) << 10 << 31 << "ends before channel 11";
        QTest::newRow("record cut short, blanks at the end")
            << emptyRecords(10) + "1\r\n\"+91\"\r\n \t" << 10 << 33 << "ends before channel 11";
        QTest::newRow("no closing quote")
            << four + "1\r\n\"\"\r\n\"hello\r\nworld\r\n" << 4 << 16 << "no closing quote";
        QTest::newRow("quoted field too long")
            << four + "1\r\n\"\"\r\n\"" + QByteArray(4095, 'm') + "\"\r\n" << 4 << 16 << "4096";
        QTest::newRow("no line end") << four + "1\r\n" + QByteArray(5000, 'p') << 4 << 15 << "4096";
        QTest::newRow("binary file") << QByteArray("\x1b\0\0\x10", 4) << 0 << 1 << "control byte 0x1b";
        for (const char *flag : {"x", "", "+1", "10", "1 1", "\"1\""})
            QTest::newRow(qPrintable(QStringLiteral("flag '%1'").arg(flag)))
                << four + flag + "\r\n\"\"\r\n\"\"\r\n" << 4 << 14 << "channel 5 must be 0 or 1";
    }
    void stopsAtProblem()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, rows);
        QFETCH(int, line);
        QFETCH(QString, reason);
        const ConfigReadResult result = readBytes(file).first;
        QVERIFY(!result.complete);
        QCOMPARE(result.rows.size(), rows);
        QCOMPARE(result.line, line);
        QVERIFY2(result.error.contains(reason, Qt::CaseInsensitive), qPrintable(result.error));
    }
};

QTEST_GUILESS_MAIN(TestConfigFormat)
#include "test_config_format.moc"
