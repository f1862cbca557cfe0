// Any bytes as a configuration file. The checks follow from the file format
// (16 records of enable flag, phone number and message; no escaping), not
// from how the reader goes about it.

#include "configfile/config_format.h"
#include "fuzz/fuzz_check.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

namespace {

struct Read {
    ConfigReadResult result;
    qint64 end; // where the reader left the device
};

Read readBytes(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ConfigReadResult result = readConfig(buffer);
    return {std::move(result), buffer.pos()};
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
            // No escapes: every text stands in the file byte for byte.
            for (QChar c : *text)
                FUZZ_REQUIRE(c.unicode() <= 0xFF);
            FUZZ_REQUIRE(file.contains(text->toLatin1()));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    const Read whole = readBytes(file);
    checkResult(whole.result, file);
    FUZZ_REQUIRE(whole.end >= 0 && whole.end <= file.size());

    // Reading goes front to back: the first part of the file gives the same
    // records, except that its last record may be cut short.
    const qsizetype cut = size == 0 ? 0 : qsizetype(data[0]) * file.size() / 256;
    const QByteArray front = file.left(cut);
    const Read part = readBytes(front);
    checkResult(part.result, front);
    for (qsizetype i = 0; i + 1 < part.result.rows.size(); ++i) {
        FUZZ_REQUIRE(i < whole.result.rows.size());
        FUZZ_REQUIRE(part.result.rows[i] == whole.result.rows[i]);
    }

    // Nothing after the 16th record's end is read: what follows it does not
    // matter, not even bytes that would fail a load.
    if (whole.result.complete) {
        const QByteArray records = file.left(whole.end);
        const char last = records.isEmpty() ? '\0' : records.back();
        if (last == '\n' || last == ',') {
            const QByteArray trailer("\x01\"", 2);
            const Read followed = readBytes(records + trailer);
            FUZZ_REQUIRE(followed.result.complete);
            FUZZ_REQUIRE(followed.result.rows == whole.result.rows);
            FUZZ_REQUIRE(followed.end == records.size());
        } else {
            // Only the end of the file can end a record without a line end.
            FUZZ_REQUIRE(whole.end == file.size());
        }
    }
    return 0;
}
