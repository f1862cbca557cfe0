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
        return *code == 0 ? configText("Its %1 holds a NUL character, which the file cannot store.").arg(field)
                          : configText("Its %1 holds %2, a character the file cannot store.").arg(field, characterName(*code));
    if (value.size() > kMaxConfigFieldBytes - 2)
        return configText("Its %1 is longer than the file can hold (%2 characters).")
            .arg(field)
            .arg(kMaxConfigFieldBytes - 2);
    if (value.contains(QStringLiteral("\"\r\n")))
        return configText("Its %1 holds a double quote right before a line break, which the file cannot "
                          "tell apart from the end of the text.")
            .arg(field);
    return {};
}

QString rowProblem(const ChannelRow &row)
{
    const QString reason = textProblem(row.phoneNo, configText("phone number"));
    return reason.isEmpty() ? textProblem(row.message, configText("message")) : reason;
}

}  // namespace

std::optional<UnsavableChannel> findUnsavableChannel(const ChannelTable &rows)
{
    // The reader itself is the judge: whatever it would not give back
    // exactly cannot be saved.
    const std::optional<ChannelTable> back = readSavedForm(formatConfig(rows));
    if (back && *back == rows)
        return std::nullopt;
    for (int i = 0; i < kChannelCount; ++i) {
        // Without a reading at all, the row with a problem of its own is the one.
        const bool differs = back ? (*back)[i] != rows[i] : !rowProblem(rows[i]).isEmpty();
        if (!differs)
            continue;
        const QString reason = rowProblem(rows[i]);
        return UnsavableChannel{i + 1, reason.isEmpty() ? configText("Its texts would not load back exactly as they are.") : reason};
    }
    return UnsavableChannel{1, configText("Its texts would not load back exactly as they are.")};
}

SavableFile savableFile(const ChannelTable &rows)
{
    if (const std::optional<UnsavableChannel> unsavable = findUnsavableChannel(rows))
        return {{}, configText("Channel %1 cannot be kept exactly in the file. %2")
                        .arg(QString::number(unsavable->channel), unsavable->reason)};
    return {formatConfig(rows), {}};
}
