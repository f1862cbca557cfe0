// The configuration file: the bytes written, what the reader takes back and
// where it stops, and what Save and Load refuse.
#include "configfile/config_file.h"
#include "configfile/config_format.h"
#include "configfile/config_messages.h"
#include "configfile/savable_check.h"
#include "file_bytes.h"
#include "fuzz/round_trip_property.h"

#include <QBuffer>
#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QByteArray emptyRecords(int count) { return QByteArrayLiteral("0\r\n\"\"\r\n\"\"\r\n").repeated(count); }

ConfigReadResult readBytes(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return readConfig(buffer);
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Makes `name` in dir as the row asks: "fifo", "socket", "folder", "missing", or a file of `content`.
QString makeTarget(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    if (name.startsWith('/'))
        return name;
    const QString path = dir.filePath(name);
    if (name == "fifo")
        mkfifo(QFile::encodeName(path).constData(), 0600);
    else if (name == "socket") {  // a socket file without a listener
        sockaddr_un address{AF_UNIX, {}};
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), ::close(fd);
    } else if (name == "folder")
        QDir().mkdir(path);
    else if (name != "missing")
        writeFile(path, content);
    return path;
}

// A text of up to maxLength characters drawn mostly from the ones the file
// format must carry with care: quotes, every line break, control bytes, commas.
QString randomText(QRandomGenerator &random, int maxLength)
{
    static const QString tricky = QStringLiteral("\"\"\r\n\r\n,01 a\x01\x1f\x7f\u0080\u00e9\u00ff");
    QString text;
    const int length = random.bounded(maxLength + 1);
    for (int i = 0; i < length; ++i)
        text += random.bounded(4) == 0 ? QChar(random.bounded(1, 256)) : tricky.at(random.bounded(tricky.size()));
    return text;
}

bool matches(const QString &pattern, const QString &text)
{
    return QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption).match(text).hasMatch();
}

// Whether a text of the row holds a double quote right before a line break (CR LF or LF).
bool holdsQuoteBeforeLf(const ChannelRow &row)
{
    return QRegularExpression("\"\r?\n").match(row.phoneNo + '|' + row.message).hasMatch();
}

}  // namespace

class TestConfigFile : public QObject {
    Q_OBJECT
private slots:
    // Files that load completely; `last` are the final rows, all before them
    // empty; `cut` the channels whose texts the reading rules cut.
    void reads()
    {
        auto reads = [](const char *name, const QByteArray &file, const QList<ChannelRow> &last, const QList<int> &cut = {}) {
            const ConfigReadResult result = readBytes(file);
            QVERIFY2(result.complete && result.line == 0, qPrintable(name + (": " + result.error)));
            QVERIFY2(result.rows == QList<ChannelRow>(16 - last.size()) + last && result.cutChannels == cut, name);
            if (QByteArray(name).startsWith("saved")) {  // and the tool writes exactly these bytes
                ChannelTable table;
                std::copy(result.rows.begin(), result.rows.end(), table.begin());
                QVERIFY2(formatConfig(table) == file && !findUnsavableChannel(table), name);
            }
        };
        // As the tool saves them: quotes, control bytes and every line break inside the quotes are text.
        reads("saved empty table", emptyRecords(16), {});
        const QByteArray whole = emptyRecords(13) + "1\r\n\"+91\"\"\r\n\"Alarm \"Zone 1\" open\"\r\n"
                                 "0\r\n\"\x01\x1f\t\"\r\n\"say \"hi\"\r\nnow \"\"\r\n\x7f\xff\"\r\n1\r\n\"\"\"\r\n\"a\rb\nc\r\n\"\r\n";
        const QList<ChannelRow> wholeRows{{true, "+91\"", "Alarm \"Zone 1\" open"},
                                          {false, "\x01\x1f\t", "say \"hi\"\r\nnow \"\"\r\n\x7f\u00ff"},
                                          {true, "\"", "a\rb\nc\r\n"}};
        reads("saved texts whole", whole, wholeRows);
        // Lines an editor adds after the 48th change nothing, quotes or not;
        // with LF line ends every line break inside a text comes back as CR LF.
        reads("edited: lines after the 48th", whole + "Spare unit \"B\", none\r\n\r\n", wholeRows);
        QByteArray lf = whole;
        QList<ChannelRow> lfRows = wholeRows;
        lfRows[2].message = "a\rb\r\nc\r\n";
        reads("edited: LF line ends", lf.replace("\r\n", "\n"), lfRows);
        // Long texts full of quotes before line ends, each a closing quote
        // the rest of the file rules out only far behind it.
        const QByteArray phoneNo(300, 'p'), message = QByteArray("a\"\r\n1\r\n\"").repeated(30).leftJustified(4094, 'z');
        reads("saved long texts, quotes before line ends", ("1\r\n\"" + phoneNo + "\"\r\n\"" + message + "\"\r\n").repeated(16),
              QList<ChannelRow>(16, {true, phoneNo, message}));
        // LF line ends, blanks, leading zeros, commas, unquoted texts, a quote
        // inside a text, a lone CR, the longest field and no final line end.
        reads("lenient records", emptyRecords(12) + " \t001 \n  \"+91\"\n\t\" x\r\ny \"  \n0, +91 22 ,\"hi, there\"\r\n"
                                 "1\r\na\rb\r\n\"say \"hi\" bye\"\r\n0\r\n\"\"\r\n\"" + QByteArray(4094, 'm') + "\"",
              {{true, "+91", " x\r\ny "}, {false, "+91 22", "hi, there"}, {true, "a\rb", "say "}, {false, "", QString(4094, 'm')}}, {15});
        // Lines after the 48th are never part of a record, not even bytes that would fail.
        reads("binary, open quote behind", emptyRecords(16) + QByteArray("\0\x01\"", 3) + QByteArray(5000, 'a'), {});
    }

    // Where reading stops, as "rows read, line", and why.
    void stopsAtProblem()
    {
        auto stops = [](const QByteArray &file, const QString &where, const QString &reason) {
            const ConfigReadResult result = readBytes(file);
            const QString said = QString("%1, %2: %3").arg(result.rows.size()).arg(result.line).arg(result.error);
            QVERIFY2(!result.complete && said.startsWith(where + ": ") && result.error.contains(reason, Qt::CaseInsensitive),
                     qPrintable(said));
        };
        // Four records on lines 1 to 13: the last message spans two lines.
        const QByteArray four = emptyRecords(3) + "1\r\n\"\"\r\n\"a\r\nb\"\r\n";
        stops(QByteArray(), "0, 1", "empty");
        stops(emptyRecords(10) + "1\r\n\"+91\"\r\n \t", "10, 33", "ends before channel 11");  // blanks at the end
        stops(four + "1\r\n\"\"\r\n\"hello\r\nworld\r\n", "4, 16", "no closing quote");
        stops(four + "1\r\n\"\"\r\n\"" + QByteArray(4095, 'm') + "\"\r\n", "4, 16", "4096");  // quoted field too long
        stops(QByteArray("\x1b\0\0\x10", 4), "0, 1", "control byte 0x1b");
        for (const char *flag : {"x", "", "+1", "10", "1 1", "\"1\""})
            stops(four + flag + "\r\n\"\"\r\n\"\"\r\n", "4, 14", "channel 5 must be 0 or 1");
    }

    // Save then Load gives every table back exactly, also after what editors
    // and version control do to a text file. Only a table holding a quote
    // right before a line break (where the reader could take it for the end
    // of the text, as saved or with LF line ends) is refused, naming a
    // channel that holds one.
    void saveLoadRoundTripProperty()
    {
        QRandomGenerator random(20261206);
        int refused = 0, withQuoteBeforeLineEnd = 0;
        constexpr int kTables = 3000;
        for (int n = 0; n < kTables; ++n) {
            ChannelTable table;
            for (ChannelRow &row : table)
                row = {random.bounded(2) == 1, randomText(random, 16), randomText(random, 160)};
            if (n % 7 == 0)
                table[random.bounded(16)].message = QString(160, u'm');
            withQuoteBeforeLineEnd += std::any_of(table.begin(), table.end(), holdsQuoteBeforeLf);
            if (const std::optional<UnsavableChannel> unsavable = findUnsavableChannel(table)) {
                ++refused;
                QVERIFY2(holdsQuoteBeforeLf(table[unsavable->channel - 1]), qPrintable(QString::number(n)));
                continue;
            }
            const QString failure = roundTripFailure(table);
            QVERIFY2(failure.isEmpty(), qPrintable(QString("%1, %2").arg(n).arg(failure)));
        }
        // Most tables hold a quote before a line break somewhere (these texts
        // draw line breaks and quotes often); most of them must still be saved.
        QVERIFY2(withQuoteBeforeLineEnd > kTables / 2 && refused > 0 && refused < withQuoteBeforeLineEnd / 4,
                 qPrintable(QString("%1 of %2 refused").arg(refused).arg(withQuoteBeforeLineEnd)));
    }

    // Save refuses, at once and before writing anything, a target that is no
    // ordinary file and texts the file cannot carry, naming the channel.
    void saveRefused()
    {
        auto refused = [](const QString &target, const ChannelRow &row7, const QString &reason) {  // reason: a pattern
            QTemporaryDir dir;
            const QString path = makeTarget(dir, target, "old");
            const QStringList before = entries(dir.path());
            ChannelTable table;
            table[6] = row7;
            const FileResult result = saveConfigFile(path, table);
            QVERIFY2(!result.ok && matches(reason, result.error), qPrintable(result.error));
            QVERIFY2(entries(dir.path()) == before && (target != "file" || readFile(path) == "old"), qPrintable(reason));
        };
        refused("file", {true, "1\"\r\n\"2", "x"}, "^Channel 7 .*double quote right before a line break");
        // Read back as saved, but not once an editor made every line end LF.
        refused("file", {true, "1\"\n\"2", "x"}, "^Channel 7 .*double quote right before a line break");
        refused("file", {true, "", QStringLiteral("5 \U0001F525")}, "^Channel 7 .*\"\U0001F525\" \\(U\\+1F525\\)");
        refused("file", {true, "", QString::fromLatin1("a\0b", 3)}, "^Channel 7 .*NUL");
        refused("missing/file", {}, ".");
        refused("fifo", {}, "FIFO");
    }

    // Tests run as root, so only a file size limit makes a write fail for
    // sure; with SIGXFSZ ignored the write fails instead of killing us. A
    // small file stays in the write buffer until the final flush, which
    // Qt 6.4's QSaveFile::commit() would ignore; a large one is written through.
    void failedWriteKeepsOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("config.txt");
        const QByteArray before = QByteArray("old content\r\n").repeated(100);
        QVERIFY(writeFile(path, before));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
        for (const int messageLength : {160, 1200}) {
            ChannelTable table;
            for (ChannelRow &row : table)
                row.message = QString(messageLength, u'm');
            const rlimit lowered{1024, old.rlim_max};
            QVERIFY(setrlimit(RLIMIT_FSIZE, &lowered) == 0);
            const FileResult result = saveConfigFile(path, table);
            setrlimit(RLIMIT_FSIZE, &old);
            QVERIFY2(!result.ok && result.error == strerror(EFBIG), qPrintable(result.error));
            QVERIFY(entries(dir.path()) == QStringList{"config.txt"} && readFile(path) == before);
        }
    }

    // What the operator is told when a load fails, stops early or cuts
    // texts, as a pattern. A FIFO without a writer would block open() for good: it is
    // refused at once.
    void loadProblems()
    {
        auto told = [](const QString &target, const QByteArray &content, QString pattern) {
            QTemporaryDir dir;
            const QString path = makeTarget(dir, target, content);
            const QString text = loadProblemText(path, loadConfigFile(path));
            QVERIFY2(matches(pattern.replace("PATH", QRegularExpression::escape(path)), text), qPrintable(text));
        };
        const QString none = "^The configuration could not be loaded from \"PATH\"\\.\n\n", nothing = "\n\nNo channel was changed\\.$";
        const QString part = "^The configuration could not be loaded completely from \"PATH\"\\.\n\n";
        const QByteArray record("0\r\n\"\"\r\n\"\"\r\n");
        told("/proc/self/mem", {}, none + "The file could not be read: .+" + nothing);
        for (const char *kind : {"fifo", "socket", "folder", "/dev/null"})
            told(kind, {}, none + ".*not an ordinary file.*" + nothing);
        told("file", record, part + "Line 4: The file ends before channel 2 is complete\\.\n\nChannel 1 was filled "
                                    "from the file; channels 2 to 16 kept their previous values\\.$");
        // A complete hand-made load that cut texts names their channels; a partial one adds them.
        const QString cut = "The file is not in the form Save writes, and the reading rules cut %1 at a double quote "
                            "inside a text: what followed that quote up to the end of its line was left out\\.";
        told("file", record.repeated(2) + "1,\"555\",\"say \"hi\" now\"\r\n" + record.repeated(13),
             "^The configuration was loaded from \"PATH\"\\.\n\n" + cut.arg("channel 3")
                 + "\n\nCheck the channels named before writing to the device\\.$");
        told("file", QByteArray("0\r\n\"1\"x\"\r\n\"\"\r\n1\r\n\"\"\r\n\"a\"b\" c\r\n0\r\n\"\"\r\n\"a\"\tx\r\n"),
             part + "Line 10: .*channels 4 to 16 kept their previous values\\.\n\n" + cut.arg("channels 1, 2 and 3") + "$");
        told("file", record.repeated(15), part + "Line 46: The file ends before channel 16 is complete\\.\n\nChannels 1 to 15 "
                                                 "were filled from the file; channel 16 kept its previous value\\.$");
    }
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "test_config_file.moc"
