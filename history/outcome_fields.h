#pragma once

#include "transfer/device_read.h"
#include "transfer/verify_compare.h"

#include <QJsonArray>

// The fields a Read did not get, as the history and the JSON report name
// them: {"channel": 3, "field": "phone number"}, with "message", and
// {"channel": null, "field": "settings"} for the slave ID and enable flags.
QJsonArray failedFieldsJson(const ReadOutcome &outcome);

// The differences a check found, as the history and the JSON report name
// them: {"channel": 1, "field": "message", "modem": "…", "file": "…"} (the
// channel null for the slave ID), with "modemBytes" in hex where the modem's
// slot holds more than its text shows. Fields not checked are among the
// failed fields, not here.
QJsonArray differencesJson(const QList<Difference> &differences);
