#pragma once

// What Save then Load must keep, for the fuzz target and the test suite alike:
// a table Save accepts comes back exactly as saved, and after what editors
// and version control do to a text file.
#include "configfile/config_format.h"
#include "configfile/config_reader.h"

#include <QBuffer>

#include <algorithm>

// Empty when every form loads back; else which form did not.
inline QString roundTripFailure(const ChannelTable &table)
{
    auto loads = [](QByteArray file, const ChannelTable &expected) {
        QBuffer buffer(&file);
        buffer.open(QIODevice::ReadOnly);
        const ConfigReadResult result = readConfig(buffer);
        return result.complete && result.cutChannels.isEmpty() && result.rows == QList<ChannelRow>(expected.begin(), expected.end());
    };
    const QByteArray saved = formatConfig(table);
    QList<QPair<QString, QByteArray>> forms{{"as saved", saved},
                                            {"line ends added", saved + "\r\n\n\r\n"},
                                            {"a line after the 48th", saved + "Spare unit, none\r\n"},
                                            {"no final line end", saved.chopped(2)},
                                            {"byte-order mark", "\xEF\xBB\xBF" + saved}};
    // A later line with a quote can close a text early only where the text
    // holds a quote right before a line end (it reads as that text's end).
    const bool quoteBeforeLineEnd = std::any_of(table.begin(), table.end(), [](const ChannelRow &row) {
        return row.phoneNo.contains(QLatin1String("\"\r\n")) || row.message.contains(QLatin1String("\"\r\n"));
    });
    if (!quoteBeforeLineEnd)
        forms.append({"lines with quotes after the 48th", saved + "Unit \"4\" spare\r\n\"\"x\r\n"});
    for (const auto &[form, bytes] : forms)
        if (!loads(bytes, table))
            return form;
    // LF line ends throughout cannot keep a lone LF apart from CR LF: every
    // line break in a text comes back as CR LF.
    ChannelTable crlf = table;
    for (ChannelRow &row : crlf)
        for (QString *text : {&row.phoneNo, &row.message})
            text->replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const QByteArray lf = QByteArray(saved).replace("\r\n", "\n");
    if (!loads(lf, crlf))
        return "LF line ends";
    if (!loads("\xEF\xBB\xBF" + lf.chopped(1), crlf))
        return "LF line ends, byte-order mark, no final line end";
    return {};
}
