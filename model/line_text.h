#pragma once

#include <QByteArray>
#include <QString>

// The modem and the configuration file both store one byte per character.
// Characters are encoded as Latin-1 (code 0 to 255 = byte value); a character
// that Latin-1 lacks travels as '?'.
inline QByteArray toLineBytes(const QString &text) { return text.toLatin1(); }
inline QString fromLineBytes(const QByteArray &bytes) { return QString::fromLatin1(bytes); }
