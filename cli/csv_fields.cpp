#include "cli/csv_fields.h"

#include <QStringDecoder>

#include <optional>

namespace {

CsvFields refused(const QString &why) { return {{}, why}; }

// The bytes as text, or nullopt when they are not UTF-8. A byte-order mark is
// kept as a character: only the file's very start may carry one.
std::optional<QString> utf8Text(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

}  // namespace

CsvFields csvFields(const QByteArray &line)
{
    if (line.contains('\0'))
        return refused(QStringLiteral("a NUL byte in the line"));
    // Readers split lines at a lone carriage return, or keep it in the field.
    if (line.contains('\r'))
        return refused(QStringLiteral("a carriage return inside the line"));
    const std::optional<QString> text = utf8Text(line);
    if (!text)
        return refused(QStringLiteral("the line is not UTF-8 text"));

    const QChar quote = QLatin1Char('"'), comma = QLatin1Char(',');
    CsvFields out;
    qsizetype at = 0;
    const qsizetype end = text->size();
    while (true) {
        const int number = int(out.fields.size()) + 1;
        QString field;
        if (at < end && text->at(at) == quote) {
            // Quoted: up to the quote that a comma or the line's end follows.
            for (++at;; ++at) {
                if (at == end)
                    return refused(QStringLiteral("a quote is not closed"));
                if (text->at(at) != quote) {
                    field += text->at(at);
                } else if (at + 1 < end && text->at(at + 1) == quote) {
                    field += quote;
                    ++at;
                } else {
                    ++at;
                    break;
                }
            }
            if (at < end && text->at(at) != comma)
                return refused(QStringLiteral("text after the closing quote of field %1").arg(number));
        } else {
            const qsizetype stop = text->indexOf(comma, at);
            field = text->mid(at, (stop < 0 ? end : stop) - at);
            at += field.size();
            // A quote here is kept by some readers and dropped by others.
            if (field.contains(quote))
                return refused(QStringLiteral("a double quote inside field %1, which does not start with one").arg(number));
        }
        out.fields.append(field);
        if (at == end)
            return out;
        ++at;  // the comma
    }
}
