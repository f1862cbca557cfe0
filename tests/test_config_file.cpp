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

ChannelTable sampleTable(int messageLength = 160)
{
    ChannelTable table;
    for (int i = 0; i < kChannelCount; ++i)
        table[i] = {i % 2 == 1, QStringLiteral("+9198%1").arg(i), QString(messageLength, QChar('a' + i))};
    table[0].message = QStringLiteral("D\u00e9faut, \u00e9tage 2\r\nsecond line");
    table[9].phoneNo = QStringLiteral("022,555\r\n01");
    return table;
}

// Tests run as root, so only a file size limit makes writing fail for sure.
// With SIGXFSZ ignored an oversized write fails instead of killing us.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes)
    {
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit lowered = old;
        lowered.rlim_cur = bytes;
        ok = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
    rlimit old{};
    void (*oldHandler)(int) = nullptr;
    bool ok = false;
};

} // namespace

class TestConfigFile : public QObject
{
    Q_OBJECT

private slots:
    void saveReplacesWholeFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.txt");
        writeBytes(path, QByteArray(10000, 'x'));
        QVERIFY(saveConfigFile(path, ChannelTable{}).ok);
        QCOMPARE(fileBytes(path), QByteArray("0\r\n\"\"\r\n\"\"\r\n").repeated(16));
    }

    void saveLoadSaveIsIdentical()
    {
        QTemporaryDir dir;
        const ChannelTable table = sampleTable();
        QVERIFY(saveConfigFile(dir.filePath("first.txt"), table).ok);
        const ConfigReadResult loaded = loadConfigFile(dir.filePath("first.txt"));
        QVERIFY2(loaded.complete, qPrintable(loaded.error));
        QCOMPARE(loaded.rows, QList<ChannelRow>(table.begin(), table.end()));

        ChannelTable again;
        std::copy(loaded.rows.begin(), loaded.rows.end(), again.begin());
        QVERIFY(saveConfigFile(dir.filePath("second.txt"), again).ok);
        QCOMPARE(fileBytes(dir.filePath("second.txt")), fileBytes(dir.filePath("first.txt")));
    }

    // Small files stay in the write buffer until the end, large ones go
    // straight to the disk; a failure in either must keep the old file.
    void failedSaveChangesNothing_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("isDirectory");
        QTest::addColumn<int>("messageLength"); // 0: no size limit, no old file
        QTest::newRow("parent missing") << "missing/config.txt" << false << 0;
        QTest::newRow("target is a directory") << "config.txt" << true << 0;
        QTest::newRow("write fails, buffered") << "config.txt" << false << 160;
        QTest::newRow("write fails, written through") << "config.txt" << false << 1200;
    }
    void failedSaveChangesNothing()
    {
        QFETCH(QString, target);
        QFETCH(bool, isDirectory);
        QFETCH(int, messageLength);
        QTemporaryDir dir;
        const QString path = dir.filePath(target);
        const QByteArray old = QByteArray("old content\r\n").repeated(100);
        if (isDirectory)
            QVERIFY(QDir(dir.path()).mkdir(target));
        if (messageLength > 0)
            writeBytes(path, old);
        const QStringList before = entries(dir.path());

        FileResult result;
        if (messageLength > 0) {
            const ChannelTable table = sampleTable(messageLength);
            QVERIFY(formatConfig(table).size() > 2048);
            FileSizeLimit limit(1024);
            QVERIFY(limit.ok);
            result = saveConfigFile(path, table);
        } else {
            result = saveConfigFile(path, sampleTable());
        }
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(entries(dir.path()), before);
        QCOMPARE(QFileInfo(path).isDir(), isDirectory);
        if (messageLength > 0)
            QCOMPARE(fileBytes(path), old);
    }

    void loadFailsToOpen_data()
    {
        QTest::addColumn<bool>("isDirectory");
        QTest::newRow("missing file") << false;
        QTest::newRow("directory") << true;
    }
    void loadFailsToOpen()
    {
        QFETCH(bool, isDirectory);
        QTemporaryDir dir;
        if (isDirectory)
            QVERIFY(QDir(dir.path()).mkdir("config.txt"));
        const ConfigReadResult result = loadConfigFile(dir.filePath("config.txt"));
        QVERIFY(!result.complete);
        QVERIFY(result.rows.isEmpty());
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(result.line, 0);
    }

    void loadProblemText_data()
    {
        QTest::addColumn<int>("filled");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("text");
        const QString partly = "The configuration could not be loaded completely from \"/c/f.txt\".\n\n";
        QTest::newRow("could not open") << 0 << 0 << "No such file or directory"
                                        << "The configuration could not be loaded from \"/c/f.txt\".\n\n"
                                           "No such file or directory\n\nNo channel was changed.";
        QTest::newRow("ten filled") << 10 << 31 << "Ends."
                                    << partly + "Line 31: Ends.\n\nChannels 1 to 10 were filled from the "
                                                "file; channels 11 to 16 kept their previous values.";
    }
    void loadProblemText()
    {
        QFETCH(int, filled);
        QFETCH(int, line);
        QFETCH(QString, error);
        QFETCH(QString, text);
        ConfigReadResult result;
        result.rows.resize(filled);
        result.line = line;
        result.error = error;
        QCOMPARE(::loadProblemText("/c/f.txt", result), text);
    }
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "test_config_file.moc"
