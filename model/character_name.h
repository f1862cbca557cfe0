#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// A character as the operator sees it and by its code: "€" (U+20AC), "🔥"
// (U+1F525). A character that shows nothing goes by its code alone, NUL by
// its name as well.
inline QString characterName(char32_t code)
{
    const QString number = QStringLiteral("U+%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
    if (code == 0)
        return QStringLiteral("NUL (%1)").arg(number);
    if (!QChar::isPrint(code))
        return number;
    return QStringLiteral("\"%1\" (%2)").arg(QString::fromUcs4(&code, 1), number);
}

// The first character of `text` for which `unwanted` holds; a surrogate pair
// counts as the one character it stands for.
template <typename Predicate>
std::optional<char32_t> firstCharacterWhere(QStringView text, Predicate unwanted)
{
    for (const char32_t code : text.toUcs4())
        if (unwanted(code))
            return code;
    return std::nullopt;
}
