#pragma once

#include "cli/unit_target.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Units run at once unless --jobs says otherwise: a bench of that many
// adapters runs in one round, and its open files stay well within the usual
// limit of 1024.
inline constexpr int kDefaultJobs = 64;

// One run of telvarin-cli as the command line asks for it, checked before
// anything is opened.
struct Invocation {
    enum Command { Read, Write, Verify, Ports, Help, Version };
    Command command = Help;
    QList<UnitTarget> units;       // in the order given; read, write and verify have at least one
    bool quiet = false;
    bool json = false;
    bool fast = false;             // read, verify: a command ends once its whole reply is in
    bool verify = false;           // write: read the modem back and compare, as verify does
    int jobs = kDefaultJobs;       // at most this many units at once
    QString history;               // --history: the store that records the units (else TELVARIN_HISTORY, the default)
    bool noHistory = false;        // --no-history
};

struct InvocationResult {
    std::optional<Invocation> invocation;
    QString error;                 // one line, when the command line is not usable
    // As far as the command line could be read, for the report of a refusal.
    bool json = false;
    QString commandName;           // "read", "write", "verify", "ports"; empty when there is none
};

// `arguments` includes the program name, as QCoreApplication::arguments().
// A --batch manifest is read here, so that a bad line is refused before any
// port is opened.
InvocationResult parseInvocation(const QStringList &arguments);

// Arguments are read as UTF-8; bytes that are not UTF-8 would come out as
// another name (out\xE9.txt as out\xEF\xBF\xBD.txt). The first such argument
// as it can be shown, its stray bytes as \xHH; empty when every one reads as given.
QString undecodableArgument(int argc, const char *const argv[]);

// The usage text for --help and after a usage error.
QString usageText();

// The slave ID as typed, or nullopt when it is not 1 to 32.
std::optional<int> parseSlaveId(const QString &text);
