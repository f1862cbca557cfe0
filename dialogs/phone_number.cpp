#include "dialogs/phone_number.h"


PhoneNumberParts splitPhoneNumber(const QString &stored)
{
    if (stored.size() <= kSubscriberNumberLength)
        return {};
    return {stored.first(stored.size() - kSubscriberNumberLength), stored.last(kSubscriberNumberLength)};
}

namespace {

// Only ASCII digits count, in every locale: the modem dials what it is sent,
// one byte a character, and knows no sign, separator or blank.
bool allDigits(QStringView text)
{
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

}  // namespace

bool isValidStdCode(const QString &text)
{
    const QStringView digits = text.startsWith(u'+') ? QStringView(text).sliced(1) : QStringView(text);
    return digits.size() >= 1 && digits.size() <= kMaxStdDigits && allDigits(digits);
}

bool isValidPhoneNumber(const PhoneNumberParts &parts)
{
    return parts.number.size() == kSubscriberNumberLength && allDigits(parts.number) && isValidStdCode(parts.stdCode);
}

QString joinPhoneNumber(const PhoneNumberParts &parts) { return parts.stdCode + parts.number; }
