#pragma once

#include "transfer/device_write.h"
#include "transfer/modem_reading.h"
#include "transfer/verify_compare.h"

#include <QList>
#include <QString>

// What the modem held when it was read back after a Write.
struct WriteCheck {
    ModemReading reading;
    QList<Difference> differences;  // of a Read that got through; fields it missed count as not checked
    bool differs() const { return reading.outcome.status == ReadOutcome::Completed && !differences.isEmpty(); }
};

// Reads the modem back after a complete Write and compares it byte for byte
// with what was sent: a modem that dropped a command (a brown-out, a full
// buffer) would otherwise dial nobody without a word.
WriteCheck checkWrite(TransferHost &host, const WriteRequest &request);

// What the window tells after the check: each field the modem holds
// otherwise, that the modem did not answer the check, or that the check
// stopped; empty when the modem holds what was written.
QString writeCheckText(const WriteCheck &check);
