// A table built from the input is saved and loaded again: unless Save
// refuses it, it must come back exactly, and so after what editors and
// version control do to text files.

#include "configfile/config_format.h"
#include "configfile/config_reader.h"
#include "configfile/savable_check.h"
#include "fuzz/fuzz_check.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

namespace {

// Any character 0x01 to 0xFF (Latin-1), with quotes and line breaks drawn
// often, since they are what the reader must tell from a text's end.
QString makeText(const std::uint8_t *&data, const std::uint8_t *end, int maxLength)
{
    auto next = [&] { return data < end ? *data++ : std::uint8_t(0); };
    QString text;
    for (int length = next() % (maxLength + 1); length > 0; --length) {
        const std::uint8_t b = next();
        text += b & 0x80 ? QChar(u"\"\r\n\r\n01"[b % 7]) : QChar(char16_t(next() % 0xFF + 1));
    }
    return text;
}

void requireLoads(QByteArray file, const ChannelTable &table)
{
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    const ConfigReadResult result = readConfig(buffer);
    FUZZ_REQUIRE(result.complete && result.cutChannels.isEmpty());
    FUZZ_REQUIRE(result.rows == QList<ChannelRow>(table.begin(), table.end()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::uint8_t *end = data + size;
    ChannelTable table;
    for (ChannelRow &row : table) {
        row.enabled = data < end && (*data++ & 1);
        row.phoneNo = makeText(data, end, 16);
        row.message = makeText(data, end, 160);
    }
    // Which tables Save refuses, and how it names them, the test suite checks.
    if (findUnsavableChannel(table))
        return 0;
    // As saved, then after what editors and version control do, one at a time:
    // line ends added, a line after the 48th, no final line end, a byte-order mark.
    const QByteArray saved = formatConfig(table);
    for (const QByteArray &file : QByteArrayList{saved, saved + "\r\n\n\r\n", saved + "Spare unit, none\r\n", saved.chopped(2),
                                   "\xEF\xBB\xBF" + saved})
        requireLoads(file, table);
    // LF line ends throughout (Save's check covers them too): a line break in
    // a text comes back as CR LF.
    ChannelTable crlf = table;
    for (ChannelRow &row : crlf)
        for (QString *text : {&row.phoneNo, &row.message})
            text->replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const QByteArray lf = QByteArray(saved).replace("\r\n", "\n");
    for (const QByteArray &file : QByteArrayList{lf, "\xEF\xBB\xBF" + lf.chopped(1)})
        requireLoads(file, crlf);
    return 0;
}
