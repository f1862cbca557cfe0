#include "configfile/savable_check.h"

#include "configfile/config_format.h"
#include "configfile/config_text.h"
#include "configfile/saved_form_reader.h"
#include "model/character_name.h"

namespace {

// Why this one text would not come back; empty when nothing stands out in it alone.
QString textProblem(const QString &value, const QString &field)
{
    if (const std::optional<char32_t> code = firstCharacterWhere(value, [](char32_t c) { return c == 0 || c > 0xFF; }))
        return *code == 0 ? ConfigFile::tr("Its %1 holds a NUL character, which the file cannot store.").arg(field)
                          : ConfigFile::tr("Its %1 holds %2, a character the file cannot store.").arg(field, characterName(*code));
    if (value.size() > kMaxConfigFieldBytes - 2)
        return ConfigFile::tr("Its %1 is longer than the file can hold (%2 characters).")
            .arg(field)
            .arg(kMaxConfigFieldBytes - 2);
    if (value.contains(QStringLiteral("\"\r\n")) || value.contains(QStringLiteral("\"\n")))
        return ConfigFile::tr("Its %1 holds a double quote right before a line break, which the file cannot "
                              "tell apart from the end of the text.")
            .arg(field);
    return {};
}

QString rowProblem(const ChannelRow &row)
{
    const QString reason = textProblem(row.phoneNo, ConfigFile::tr("phone number"));
    return reason.isEmpty() ? textProblem(row.message, ConfigFile::tr("message")) : reason;
}

// Every line break as CR LF, as a file with LF line ends gives the texts back.
ChannelTable withCrLfBreaks(ChannelTable rows)
{
    for (ChannelRow &row : rows)
        for (QString *text : {&row.phoneNo, &row.message})
            text->replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return rows;
}

// The first channel (1-based) that the reader does not give back from
// `file` as `expected`; 0 when all come back.
int firstLostChannel(const QByteArray &file, const ChannelTable &expected)
{
    const std::optional<ChannelTable> back = readSavedForm(file);
    for (int i = 0; i < kChannelCount; ++i) {
        // Without a reading at all, the row with a problem of its own is the one.
        if (back ? (*back)[i] != expected[i] : !rowProblem(expected[i]).isEmpty())
            return i + 1;
    }
    return back ? 0 : 1;
}

}  // namespace

std::optional<UnsavableChannel> findUnsavableChannel(const ChannelTable &rows)
{
    // The reader itself is the judge: whatever it would not give back
    // exactly, as saved or once an editor or version control made every
    // line end LF, cannot be saved.
    const QByteArray saved = formatConfig(rows);
    int channel = firstLostChannel(saved, rows);
    if (channel == 0)
        channel = firstLostChannel(QByteArray(saved).replace("\r\n", "\n"), withCrLfBreaks(rows));
    if (channel == 0)
        return std::nullopt;
    const QString reason = rowProblem(rows[channel - 1]);
    return UnsavableChannel{channel, reason.isEmpty() ? ConfigFile::tr("Its texts would not load back exactly as they are.") : reason};
}

SavableFile savableFile(const ChannelTable &rows)
{
    if (const std::optional<UnsavableChannel> unsavable = findUnsavableChannel(rows))
        return {{}, ConfigFile::tr("Channel %1 cannot be kept exactly in the file. %2")
                        .arg(QString::number(unsavable->channel), unsavable->reason)};
    return {formatConfig(rows), {}};
}
