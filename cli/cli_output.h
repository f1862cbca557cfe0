#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

// Lines on standard error. Errors always print; notes only without --quiet
// and --json.
inline void printLine(std::FILE *stream, const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

inline void printError(const QString &line) { printLine(stderr, QStringLiteral("telvarin-cli: ") + line); }

// Standard output carries what a script keeps (a table, a report), so every
// write is checked: false once anything could not be written (a full disk,
// a closed pipe), and the output is then not whole.
bool writeStandardOutput(const QByteArray &bytes);
inline bool writeStandardOutputLine(const QString &line) { return writeStandardOutput((line + QLatin1Char('\n')).toUtf8()); }

// After the last write: flushes standard output and says why it is not
// whole, naming the system's reason; empty when everything went out.
QString standardOutputFailure();
