#include "configfile/config_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Latin-1, commas and line breaks in a message and a phone number.
ChannelTable sampleTable(int messageLength)
{
    ChannelTable table;
    for (int i = 0; i < kChannelCount; ++i)
        table[i] = {i % 2 == 1, QStringLiteral("+9198%1").arg(i), QString(messageLength, QChar('a' + i))};
    table[0].message = QStringLiteral("D\u00e9faut, \u00e9tage 2\r\nsecond line");
    table[9].phoneNo = QStringLiteral("022,555\r\n01");
    return table;
}

} // namespace

class TestConfigFile : public QObject
{
    Q_OBJECT

private slots:
    // The first save replaces a longer file; saving what was loaded gives the same bytes.
    void saveLoadSaveIsIdentical()
    {
        QTemporaryDir dir;
        const ChannelTable table = sampleTable(160);
        writeBytes(dir.filePath("first.txt"), QByteArray(10000, 'x'));
        QVERIFY(saveConfigFile(dir.filePath("first.txt"), table).ok);
        QCOMPARE(fileBytes(dir.filePath("first.txt")), formatConfig(table));
        const ConfigReadResult loaded = loadConfigFile(dir.filePath("first.txt"));
        QVERIFY2(loaded.complete, qPrintable(loaded.error));
        QCOMPARE(loaded.rows, QList<ChannelRow>(table.begin(), table.end()));
        ChannelTable again;
        std::copy(loaded.rows.begin(), loaded.rows.end(), again.begin());
        QVERIFY(saveConfigFile(dir.filePath("second.txt"), again).ok);
        QCOMPARE(fileBytes(dir.filePath("second.txt")), fileBytes(dir.filePath("first.txt")));
    }

    // Tests run as root, so only a file size limit makes a write fail for
    // sure; with SIGXFSZ ignored the write fails instead of killing us. A
    // small file stays in the write buffer until the final flush, which
    // Qt 6.4's QSaveFile::commit() would ignore; a large one is written through.
    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<int>("messageLength");
        QTest::newRow("buffered") << 160;
        QTest::newRow("written through") << 1200;
    }
    void failedSaveKeepsOldFile()
    {
        QFETCH(int, messageLength);
        QTemporaryDir dir;
        const QString path = dir.filePath("config.txt");
        const QByteArray before = QByteArray("old content\r\n").repeated(100);
        writeBytes(path, before);
        QVERIFY(!saveConfigFile(dir.filePath("missing/config.txt"), sampleTable(messageLength)).ok);

        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
        const rlimit lowered{1024, old.rlim_max};
        QVERIFY(setrlimit(RLIMIT_FSIZE, &lowered) == 0);
        const FileResult result = saveConfigFile(path, sampleTable(messageLength));
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(entries(dir.path()), QStringList{"config.txt"});
        QCOMPARE(fileBytes(path), before);
    }

    // A missing file, then a file of ten records: what the operator is told.
    void loadProblems()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.txt");
        ConfigReadResult result = loadConfigFile(path);
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(loadProblemText(path, result), "The configuration could not be loaded from \"" + path + "\".\n\n"
                                                    + result.error + "\n\nNo channel was changed.");
        writeBytes(path, QByteArray("0\r\n\"\"\r\n\"\"\r\n").repeated(10));
        result = loadConfigFile(path);
        QCOMPARE(loadProblemText(path, result),
                 "The configuration could not be loaded completely from \"" + path
                     + "\".\n\nLine 31: The file ends before channel 11 is complete.\n\n"
                       "Channels 1 to 10 were filled from the file; channels 11 to 16 kept their previous values.");
    }
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "test_config_file.moc"
