#pragma once

#include <QString>

#include <cstdio>

// Lines on standard error and output. Errors always print; notes only
// without --quiet.
inline void printLine(std::FILE *stream, const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

inline void printError(const QString &line) { printLine(stderr, QStringLiteral("telvarin-cli: ") + line); }
