#include "dialogs/phone_number.h"

#include <QLocale>
#include <QStringList>

PhoneNumberParts splitPhoneNumber(const QString &stored)
{
    if (stored.size() <= kSubscriberNumberLength)
        return {};
    return {stored.first(stored.size() - kSubscriberNumberLength), stored.last(kSubscriberNumberLength)};
}

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

// Only ASCII digits count: the number goes to the modem one byte a character.
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

QStringView trimBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// Drops one leading sign: the ASCII ones, or the locale's own (some locales
// write a minus as U+2212).
QStringView skipSign(QStringView text, const QLocale &locale)
{
    for (const QString &sign : {QStringLiteral("+"), QStringLiteral("-"), locale.positiveSign(), locale.negativeSign()}) {
        if (!sign.isEmpty() && text.startsWith(sign))
            return text.sliced(sign.size());
    }
    return text;
}

}  // namespace

// A scanner of our own rather than QLocale::toDouble, which also takes "inf",
// "nan", exponents and group separators.
bool isNumeric(const QString &text, const QLocale &locale)
{
    QStringView rest = skipSign(trimBlanks(text), locale);
    const QString separator = locale.decimalPoint();
    int digits = 0;
    bool separatorSeen = false;
    while (!rest.isEmpty()) {
        if (isDigit(rest.front())) {
            ++digits;
            rest = rest.sliced(1);
        } else if (!separatorSeen && !separator.isEmpty() && rest.startsWith(separator)) {
            separatorSeen = true;
            rest = rest.sliced(separator.size());
        } else {
            return false;
        }
    }
    return digits > 0;
}

bool isValidPhoneNumber(const PhoneNumberParts &parts, const QLocale &locale)
{
    return parts.number.size() == kSubscriberNumberLength && isNumeric(parts.stdCode, locale)
           && isNumeric(parts.number, locale);
}

QString joinPhoneNumber(const PhoneNumberParts &parts) { return parts.stdCode + parts.number; }
