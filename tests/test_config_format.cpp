#include "configfile/config_format.h"

#include <QBuffer>
#include <QTest>

Q_DECLARE_METATYPE(ChannelRow)

char *toString(const ChannelRow &row)
{
    return QTest::toString(QStringLiteral("{%1, \"%2\", \"%3\"}")
                               .arg(QLatin1String(row.enabled ? "on" : "off"), row.phoneNo, row.message));
}

namespace {

QByteArray emptyRecords(int count) { return QByteArrayLiteral("0\r\n\"\"\r\n\"\"\r\n").repeated(count); }

// The result and where the device was left.
std::pair<ConfigReadResult, qint64> readBytes(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    ConfigReadResult result = readConfig(buffer);
    return {result, buffer.pos()};
}

ChannelTable richTable()
{
    ChannelTable table;
    for (int i = 0; i < kChannelCount; ++i)
        table[i] = {i % 3 == 0, QStringLiteral("+91%1").arg(1000000000 + i),
                    QStringLiteral("Alarm %1, zone %2").arg(i + 1).arg(i)};
    table[3] = {};
    table[8].message = QStringLiteral("Line one\r\nLine two, with comma\r\n");
    table[12].phoneNo = QStringLiteral("+44,20\r\n7946");
    table[15].message = QStringLiteral("Fen\u00eatre ouverte \u00e9t\u00e9\tTAB");
    return table;
}

} // namespace

class TestConfigFormat : public QObject
{
    Q_OBJECT

private slots:
    void formatsRecord_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<ChannelRow>("row");
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("empty table") << 0 << ChannelRow{} << emptyRecords(1);
        QTest::newRow("enabled, empty message") << 0 << ChannelRow{true, "+911234567890", ""}
                                                << QByteArray("1\r\n\"+911234567890\"\r\n\"\"\r\n");
        QTest::newRow("texts unescaped") << 7 << ChannelRow{false, "a\"b", "x,y\r\nz"}
                                         << QByteArray("0\r\n\"a\"b\"\r\n\"x,y\r\nz\"\r\n");
        QTest::newRow("latin-1, one byte each") << 15 << ChannelRow{true, "", QStringLiteral("\u00e9t\u00e9")}
                                                << QByteArray("1\r\n\"\"\r\n\"\xe9t\xe9\"\r\n");
        QTest::newRow("outside latin-1 becomes ?")
            << 2 << ChannelRow{false, QStringLiteral("\u20ac5"), QStringLiteral("\u4e2d")}
            << QByteArray("0\r\n\"?5\"\r\n\"?\"\r\n");
    }
    void formatsRecord()
    {
        QFETCH(int, index);
        QFETCH(ChannelRow, row);
        QFETCH(QByteArray, record);
        ChannelTable table;
        table[index] = row;
        QCOMPARE(formatConfig(table), emptyRecords(index) + record + emptyRecords(15 - index));
    }

    void roundTrip()
    {
        const ChannelTable table = richTable();
        const QByteArray bytes = formatConfig(table);
        const auto [result, stoppedAt] = readBytes(bytes);
        QVERIFY2(result.complete, qPrintable(result.error));
        QCOMPARE(result.line, 0);
        QCOMPARE(result.rows, QList<ChannelRow>(table.begin(), table.end()));
        QCOMPARE(stoppedAt, bytes.size());
    }

    // Nothing after the 16th record is read, not even bytes that would fail.
    void stopsAfterSixteenthRecord_data()
    {
        QTest::addColumn<QByteArray>("trailer");
        QTest::newRow("more lines") << QByteArray("1\r\n\"+91\"\r\n\"extra\"\r\n");
        QTest::newRow("binary") << QByteArray("\0\x01\x02", 3);
        QTest::newRow("unterminated quote") << QByteArray("\"") + QByteArray(5000, 'a');
    }
    void stopsAfterSixteenthRecord()
    {
        QFETCH(QByteArray, trailer);
        const QByteArray file = formatConfig(richTable());
        const auto [result, stoppedAt] = readBytes(file + trailer);
        QVERIFY2(result.complete, qPrintable(result.error));
        QCOMPARE(result.rows.size(), 16);
        QCOMPARE(stoppedAt, file.size());
    }

    // Hand-made last records after 15 empty ones.
    void readsHandMadeRecord_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<ChannelRow>("row");
        QTest::newRow("LF line ends") << QByteArray("1\n\"+91\"\n\"a\r\nb\"\n") << ChannelRow{true, "+91", "a\r\nb"};
        QTest::newRow("no final line end") << QByteArray("1\r\n\"+91\"\r\n\"m\"") << ChannelRow{true, "+91", "m"};
        QTest::newRow("one line, commas") << QByteArray("1,\"+91\",\"hi, there\"\r\n")
                                          << ChannelRow{true, "+91", "hi, there"};
        QTest::newRow("blanks around flag and quotes")
            << QByteArray(" \t1 \r\n  \"+91\"\r\n\t\" x \"  \r\n") << ChannelRow{true, "+91", " x "};
        QTest::newRow("leading zeros") << QByteArray("001\r\n\"\"\r\n\"\"\r\n") << ChannelRow{true, "", ""};
        QTest::newRow("unquoted texts trimmed") << QByteArray("0\r\n +91 22 \r\n\thello world \r\n")
                                                << ChannelRow{false, "+91 22", "hello world"};
        QTest::newRow("quote inside text cuts it")
            << QByteArray("1\r\n\"12\"34\"\r\n\"say \"hi\" bye\"\r\n") << ChannelRow{true, "12", "say "};
        QTest::newRow("longest field") << QByteArray("0\r\n\"\"\r\n\"") + QByteArray(4094, 'm') + "\"\r\n"
                                       << ChannelRow{false, "", QString(4094, 'm')};
        QTest::newRow("lone CR is text") << QByteArray("1\r\n\"\"\r\na\rb\r\n") << ChannelRow{true, "", "a\rb"};
    }
    void readsHandMadeRecord()
    {
        QFETCH(QByteArray, record);
        QFETCH(ChannelRow, row);
        const auto [result, stoppedAt] = readBytes(emptyRecords(15) + record);
        QVERIFY2(result.complete, qPrintable(result.error));
        QCOMPARE(result.rows[14], ChannelRow{});
        QCOMPARE(result.rows[15], row);
    }

    void stopsAtProblem_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("reason");
        const QByteArray four = emptyRecords(4);
        QTest::newRow("empty file") << QByteArray() << 0 << 1 << "empty";
        QTest::newRow("ten records") << emptyRecords(10) << 10 << 31 << "ends before channel 11";
        QTest::newRow("blanks after last record") << emptyRecords(10) + " \t" << 10 << 31 << "ends before channel 11";
        QTest::newRow("record cut short") << emptyRecords(10) + "1\r\n\"+91\"\r\n" << 10 << 33 << "ends before channel 11";
        QTest::newRow("no closing quote") << four + "1\r\n\"\"\r\n\"hello\r\nworld\r\n" << 4 << 15 << "no closing quote";
        QTest::newRow("quoted field too long")
            << four + "1\r\n\"\"\r\n\"" + QByteArray(4095, 'm') + "\"\r\n" << 4 << 15 << "4096";
        QTest::newRow("no line end") << four + "1\r\n" + QByteArray(5000, 'p') << 4 << 14 << "4096";
        QTest::newRow("NUL bytes") << QByteArray("\0\0\0\x10", 4) << 0 << 1 << "not a text file";
        QTest::newRow("control byte in text")
            << four + "1\r\n\"\"\r\n\"a\r\nb\x1b\"\r\n" + emptyRecords(11) << 4 << 16 << "0x1b";
        for (const char *flag : {"x", "2", "-1", "+1", "", "\"1\"", "1 1", "10"})
            QTest::newRow(qPrintable(QStringLiteral("flag '%1'").arg(flag)))
                << four + flag + "\r\n\"\"\r\n\"\"\r\n" << 4 << 13 << "channel 5 must be 0 or 1";
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
