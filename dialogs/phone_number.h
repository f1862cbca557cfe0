#pragma once

#include <QString>

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

inline constexpr int kMaxStdDigits = 4;

// An STD code: "+" or nothing, then one to four digits 0-9.
bool isValidStdCode(const QString &text);

// The check behind OK: a valid STD code and exactly ten digits 0-9, the same
// in every locale.
bool isValidPhoneNumber(const PhoneNumberParts &parts);

// The number handed back: the STD code immediately followed by the number.
QString joinPhoneNumber(const PhoneNumberParts &parts);
