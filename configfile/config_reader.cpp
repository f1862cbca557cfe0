#include "configfile/config_reader.h"

#include "configfile/config_format.h"
#include "configfile/config_text.h"
#include "configfile/saved_form_reader.h"
#include "model/line_text.h"

#include <QBuffer>
#include <QIODevice>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// Control bytes that no text file holds; TAB, LF and CR are text.
bool isBinaryByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b <= 0x08 || b == 0x0B || b == 0x0C || (b >= 0x0E && b <= 0x1F);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArray trimBlanks(const QByteArray &bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    return bytes.sliced(begin, end - begin);
}

// 0 or 1 as a decimal integer without sign; leading zeros are still a number.
std::optional<bool> parseEnableFlag(const QByteArray &field)
{
    const QByteArray digits = trimBlanks(field);
    if (digits.isEmpty())
        return std::nullopt;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    const qsizetype last = digits.size() - 1;
    for (qsizetype i = 0; i < last; ++i) {
        if (digits[i] != '0')
            return std::nullopt;
    }
    if (digits[last] == '0' || digits[last] == '1')
        return digits[last] == '1';
    return std::nullopt;
}

// Reads fields byte by byte and keeps track of the line; the first problem
// ends all reading and is kept with its line.
class FieldReader
{
public:
    explicit FieldReader(QIODevice &in) : in_(in) {}

    enum class Kind { Number, Text };

    // The next field's value; nullopt when the file ended before the field
    // began or a problem was found (failed()).
    std::optional<QByteArray> read(Kind kind);

    void fail(const QString &why, int line)
    {
        error_ = why;
        errorLine_ = line;
    }
    bool failed() const { return !error_.isEmpty(); }
    const QString &error() const { return error_; }
    int errorLine() const { return errorLine_; }
    int line() const { return line_; }
    bool nothingRead() const { return bytesRead_ == 0; }
    // Whether a text read since the last call lost bytes after its closing quote.
    bool takeCut() { return std::exchange(cut_, false); }

private:
    enum class Next { Byte, End, Failed };
    Next get(char &c);
    bool endsLine(char c);

    QIODevice &in_;
    int line_ = 1;
    qint64 bytesRead_ = 0;
    bool cut_ = false;
    QString error_;
    int errorLine_ = 0;
};

FieldReader::Next FieldReader::get(char &c)
{
    if (!in_.getChar(&c)) {
        if (in_.atEnd())
            return Next::End;
        fail(ConfigFile::tr("The file could not be read: %1").arg(in_.errorString()), line_);
        return Next::Failed;
    }
    ++bytesRead_;
    if (isBinaryByte(c)) {
        fail(ConfigFile::tr("This is not a text file: it contains the control byte 0x%1.")
                 .arg(int(static_cast<unsigned char>(c)), 2, 16, QLatin1Char('0')),
             line_);
        return Next::Failed;
    }
    if (c == '\n')
        ++line_;
    return Next::Byte;
}

// LF or CR LF; a CR without LF is an ordinary byte. Peeking instead of
// reading ahead keeps the device right behind the line end.
bool FieldReader::endsLine(char c)
{
    if (c == '\n')
        return true;
    char following = 0;
    if (c != '\r' || in_.peek(&following, 1) != 1 || following != '\n')
        return false;
    get(following);
    return true;
}

std::optional<QByteArray> FieldReader::read(Kind kind)
{
    const int startLine = line_;
    QByteArray value;
    qsizetype length = 0; // bytes of this field so far, its end excluded
    bool quoted = false;
    bool closed = false;
    char c = 0;
    for (;;) {
        const Next next = get(c);
        if (next == Next::Failed)
            return std::nullopt;
        if (next == Next::End) {
            if (quoted && !closed) {
                fail(ConfigFile::tr("A quoted text has no closing quote."), startLine);
                return std::nullopt;
            }
            if (!quoted && trimBlanks(value).isEmpty())
                return std::nullopt; // the file ended before this field
            break;
        }
        const bool inQuotes = quoted && !closed;
        if (!inQuotes && (c == ',' || endsLine(c)))
            break;
        if (++length > kMaxConfigFieldBytes) {
            fail(ConfigFile::tr("A field runs on for more than %1 bytes: its closing quote or "
                                "line end is missing.")
                     .arg(kMaxConfigFieldBytes),
                 startLine);
            return std::nullopt;
        }
        if (closed) {
            cut_ = cut_ || !isBlank(c); // after the closing quote, up to the field's end
            continue;
        }
        if (inQuotes && c == '"')
            closed = true;
        else if (kind == Kind::Text && !quoted && c == '"' && trimBlanks(value).isEmpty()) {
            quoted = true;
            value.clear(); // blanks in front of the quote
        } else
            value += c;
    }
    return quoted ? value : trimBlanks(value);
}

// One channel's three fields; the row counts only once all three are read.
std::optional<ChannelRow> readRecord(FieldReader &reader, int channel)
{
    const int flagLine = reader.line();
    const std::optional<QByteArray> flagField = reader.read(FieldReader::Kind::Number);
    if (!flagField)
        return std::nullopt;
    const std::optional<bool> enabled = parseEnableFlag(*flagField);
    if (!enabled) {
        constexpr int kShown = 20;
        QString shown = fromLineBytes(flagField->left(kShown));
        if (flagField->size() > kShown)
            shown += QStringLiteral("...");
        reader.fail(ConfigFile::tr("The enable flag of channel %1 must be 0 or 1, not \"%2\".")
                        .arg(QString::number(channel), shown),
                    flagLine);
        return std::nullopt;
    }
    const std::optional<QByteArray> phoneNo = reader.read(FieldReader::Kind::Text);
    if (!phoneNo)
        return std::nullopt;
    const std::optional<QByteArray> message = reader.read(FieldReader::Kind::Text);
    if (!message)
        return std::nullopt;
    return ChannelRow{*enabled, fromLineBytes(*phoneNo), fromLineBytes(*message)};
}

// Hand-made files and files not in the saved form: field by field, a
// quoted text ending at its first closing quote.
ConfigReadResult readLenient(QIODevice &in)
{
    ConfigReadResult result;
    FieldReader reader(in);
    while (result.rows.size() < kChannelCount) {
        const int channel = int(result.rows.size()) + 1;
        std::optional<ChannelRow> row = readRecord(reader, channel);
        if (row) {
            result.rows.append(std::move(*row));
            if (reader.takeCut())
                result.cutChannels.append(channel);
            continue;
        }
        if (reader.failed()) {
            result.error = reader.error();
            result.line = reader.errorLine();
        } else {
            result.error = reader.nothingRead()
                               ? ConfigFile::tr("The file is empty.")
                               : ConfigFile::tr("The file ends before channel %1 is complete.").arg(channel);
            result.line = reader.line();
        }
        return result;
    }
    result.complete = true;
    return result;
}

} // namespace

ConfigReadResult readConfig(QIODevice &in)
{
    // Every complete file has its 48 lines within the first 200 KB (32 texts
    // of at most kMaxConfigFieldBytes); the read stops after 1 MiB, so lines
    // after the 48th are looked at only that far (a saved file with still
    // more behind it is read by the rules above).
    constexpr qint64 kReadLimit = 1 << 20;
    QByteArray bytes;
    if (!in.isSequential())
        bytes.reserve(std::min(in.size(), kReadLimit) + 1);
    char chunk[16384];
    while (bytes.size() <= kReadLimit) {
        const qint64 got = in.read(chunk, sizeof chunk);
        if (got < 0) {
            ConfigReadResult result;
            result.error = ConfigFile::tr("The file could not be read: %1").arg(in.errorString());
            return result;
        }
        if (got == 0)
            break;
        bytes.append(chunk, got);
    }
    if (bytes.size() <= kReadLimit) {
        if (const std::optional<ChannelTable> table = readSavedForm(bytes)) {
            ConfigReadResult result;
            result.rows = QList<ChannelRow>(table->begin(), table->end());
            result.complete = true;
            return result;
        }
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return readLenient(buffer);
}
