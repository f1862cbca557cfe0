#pragma once

#include <QString>

// A message is stored with CR LF line breaks and may hold 160 characters, a
// line break counting as two. Inside the edit box a line break is one '\n'
// ("box text"); these functions convert and count between the two forms.
inline constexpr int kMessageLimit = 160;

// Every line break form (CR LF, a lone CR or LF, U+2028, U+2029) as one '\n'.
QString toBoxText(const QString &text);

// Every '\n' as CR LF; nothing else changes.
QString toStoredMessage(const QString &boxText);

// Length of the box text once stored.
int storedLength(const QString &boxText);

// The longest start of the box text whose stored length fits into room;
// a line break that does not fit whole is left out, and so is everything after it.
QString fitToRoom(const QString &boxText, int room);

// The counter caption, such as "42/160".
QString counterCaption(int storedLength);
