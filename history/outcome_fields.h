#pragma once

#include "transfer/device_read.h"

#include <QJsonArray>

// The fields a Read did not get, as the history and the JSON report name
// them: {"channel": 3, "field": "phone number"}, with "message", and
// {"channel": null, "field": "settings"} for the slave ID and enable flags.
QJsonArray failedFieldsJson(const ReadOutcome &outcome);
