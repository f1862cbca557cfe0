#pragma once

#include "model/modem_limits.h"

#include <QString>

// A message is stored with CR LF line breaks and may hold kMessageLimit
// characters, a line break counting as two. Inside the edit box a line break
// is one '\n' ("box text"); these functions convert and count between the
// two forms.

// Every line break form (CR LF, a lone CR or LF, U+2028, U+2029) as one '\n'.
QString toBoxText(const QString &text);

// The message to store for what the box now shows. `original` is the stored
// message the box was loaded from: the parts the operator left untouched
// keep their line breaks exactly as they were (a lone LF or CR stays one
// character), and every '\n' in the part they changed becomes CR LF.
QString toStoredMessage(const QString &boxText, const QString &original = {});

// Length of the box text once stored, every line break as CR LF.
int storedLength(const QString &boxText);

// The longest start of the box text whose stored length fits into room;
// a line break that does not fit whole is left out, and so is everything after it.
QString fitToRoom(const QString &boxText, int room);

// The counter caption, such as "42/160".
QString counterCaption(int storedLength);
