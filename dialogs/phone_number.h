#pragma once

#include <QString>

class QLocale;

// A stored phone number as the editor shows it in its two boxes.
struct PhoneNumberParts {
    QString stdCode;  // the dialling prefix, such as +91
    QString number;   // the subscriber number, ten characters when valid
};

inline constexpr int kSubscriberNumberLength = 10;

// Splits by position only: a stored number longer than ten characters gives
// its last ten as the number and the rest as the STD code; a shorter one (or
// exactly ten) gives two empty parts.
PhoneNumberParts splitPhoneNumber(const QString &stored);

// True when the text is one number as the locale writes it: optional blanks
// around, an optional leading sign, decimal digits with at most one decimal
// separator, and at least one digit.
bool isNumeric(const QString &text, const QLocale &locale);

// The check behind OK: a ten-character number, and both parts numeric.
bool isValidPhoneNumber(const PhoneNumberParts &parts, const QLocale &locale);

// The number handed back: the STD code immediately followed by the number.
QString joinPhoneNumber(const PhoneNumberParts &parts);
