#pragma once

#include "link/port_address.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

// A port as the operator names it, read once where the command line or the
// manifest names it; the stages after that only use the parts.
struct UnitPort {
    QString name;                        // as typed, for messages, the report and the history
    int comNumber = 0;                   // 1 to 255; 0 for a device path or a network port
    // tcp://… or rfc2217://…; held apart, so that a local unit (most are)
    // carries no network fields: 100,000 units from a manifest stay small.
    std::shared_ptr<const NetworkPort> network;
};

// A network port (tcp://…, rfc2217://…) must be whole; a device path (it holds a
// "/") is used as it is; anything else must be a COM number 1 to 255, with or
// without "COM" in front. nullopt and the reason in *error when it is none of these.
std::optional<UnitPort> parseUnitPort(const QString &name, QString *error);

// One modem to work on: where it is, the slave ID it should have and its file.
struct UnitTarget {
    UnitPort port;
    std::optional<int> slaveId;    // 1 to 32
    QString file;                  // write, verify: the configuration file; read: the output ("-" for stdout),
                                   // a manifest's relative name already joined to the manifest's folder
};

// The placeholder that --output of a read of several ports must hold.
inline constexpr char kPortPlaceholder[] = "{port}";

// The output file of a read of `port`: {port} becomes "COM3" for a COM
// number, the device's own name ("ttyUSB0") for a device path.
QString expandOutputPattern(const QString &pattern, const UnitPort &port);

// Why these units cannot run in one call: one port named twice (by any of its
// names: a COM number, the device, a link to it), or two reads that would
// write one file (by any path that leads to it). Empty when they can.
QString unitListProblem(const QList<UnitTarget> &units, bool read);
