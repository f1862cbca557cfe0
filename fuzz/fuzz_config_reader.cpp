// Any bytes as a configuration file. The checks follow from the file format
// (16 records of enable flag, phone number and message; no escaping), not
// from how the reader goes about it.

#include "configfile/config_format.h"
#include "configfile/config_reader.h"
#include "fuzz/fuzz_check.h"

#include <QBuffer>
#include <QRegularExpression>

#include <cstddef>
#include <cstdint>

namespace {

ConfigReadResult readBytes(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return readConfig(buffer);
}

// Texts without double quotes and without control bytes other than TAB, CR
// and LF read the same whichever way the reader takes the file; only such
// rows are expected to survive a cut or a trailer, since a quote inside a
// text is told from a closing one by what the whole file looks like.
bool plainTexts(const QList<ChannelRow> &rows)
{
    for (const ChannelRow &row : rows)
        for (const QString *text : {&row.phoneNo, &row.message})
            for (QChar c : *text)
                if (c == u'"' || (c.unicode() < 0x20 && c != u'\t' && c != u'\r' && c != u'\n'))
                    return false;
    return true;
}

// Line breaks as LF alone (CRs in front of an LF dropped).
ChannelRow withLf(ChannelRow row)
{
    static const QRegularExpression crsBeforeLf(QStringLiteral("\r+\n"));
    row.phoneNo.replace(crsBeforeLf, QStringLiteral("\n"));
    row.message.replace(crsBeforeLf, QStringLiteral("\n"));
    return row;
}

int lineCount(const QByteArray &bytes) { return int(bytes.count('\n')) + 1; }

void checkResult(const ConfigReadResult &result, const QByteArray &file)
{
    FUZZ_REQUIRE(result.rows.size() <= kChannelCount);
    FUZZ_REQUIRE(result.complete == (result.rows.size() == kChannelCount));
    if (result.complete) {
        FUZZ_REQUIRE(result.error.isEmpty());
        FUZZ_REQUIRE(result.line == 0);
    } else {
        // A problem is always told, on a line the file has.
        FUZZ_REQUIRE(!result.error.isEmpty());
        FUZZ_REQUIRE(result.line >= 1 && result.line <= lineCount(file));
    }
    for (const ChannelRow &row : result.rows) {
        for (const QString *text : {&row.phoneNo, &row.message}) {
            FUZZ_REQUIRE(!text->contains(QChar(0)));
            FUZZ_REQUIRE(text->size() <= kMaxConfigFieldBytes);
            // No escapes: every text stands in the file byte for byte (a
            // file with LF line ends holds its CR LF as LF).
            for (QChar c : *text)
                FUZZ_REQUIRE(c.unicode() <= 0xFF);
            const QByteArray bytes = text->toLatin1();
            FUZZ_REQUIRE(file.contains(bytes) || file.contains(QByteArray(bytes).replace("\r\n", "\n")));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    const ConfigReadResult whole = readBytes(file);
    checkResult(whole, file);

    // Reading goes front to back: the first part of the file gives the same
    // records, except that its last record may be cut short.
    const qsizetype cut = size == 0 ? 0 : qsizetype(data[0]) * file.size() / 256;
    const QByteArray front = file.left(cut);
    const ConfigReadResult part = readBytes(front);
    checkResult(part, front);
    // (A cut right after the 48th line can turn a file with something behind
    // it into a saved one, read with its quotes: hence plain texts on both sides.)
    // A file in the saved form with LF line ends gives line breaks in texts
    // back as CR LF, which the rules keep as they stand: compare with LF.
    if (plainTexts(whole.rows) && plainTexts(part.rows)) {
        for (qsizetype i = 0; i + 1 < part.rows.size(); ++i) {
            FUZZ_REQUIRE(i < whole.rows.size());
            FUZZ_REQUIRE(withLf(part.rows[i]) == withLf(whole.rows[i]));
        }
    }

    // What follows the 48th line does not matter, not even bytes that would
    // fail a load. (A quote right before the end would read as the end of a
    // longer last text, as in a file saved with that text and no final line end.)
    if (whole.complete && plainTexts(whole.rows)) {
        ChannelTable table;
        std::copy(whole.rows.begin(), whole.rows.end(), table.begin());
        const QByteArray saved = formatConfig(table);
        const ConfigReadResult followed = readBytes(saved + QByteArray("\"\x01", 2));
        FUZZ_REQUIRE(followed.complete);
        FUZZ_REQUIRE(followed.rows == whole.rows);
    }
    return 0;
}
