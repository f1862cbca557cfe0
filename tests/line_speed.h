#pragma once

#include "link/serial_link.h"
#include "tools/modemsim/modem_simulator.h"

#include <QByteArray>
#include <QtGlobal>

// While it lives, new simulators, the link and the command lines a test
// starts run at the real line rate and window, whatever line_speed.cpp set:
// for a test whose many units at once need the whole window on a busy machine.
class RealLineTiming {
public:
    RealLineTiming()
        : saved_(qgetenv(kVariable)), link_(SerialLink::lineSpeedUp()), simulator_(modemsim::defaultLineSpeedUp())
    {
        qunsetenv(kVariable);
        SerialLink::setLineSpeedUp(1);
        modemsim::setDefaultLineSpeedUp(1);
    }
    ~RealLineTiming()
    {
        if (!saved_.isNull())
            qputenv(kVariable, saved_);
        SerialLink::setLineSpeedUp(link_);
        modemsim::setDefaultLineSpeedUp(simulator_);
    }
    RealLineTiming(const RealLineTiming &) = delete;
    RealLineTiming &operator=(const RealLineTiming &) = delete;

private:
    static constexpr const char *kVariable = "TELVARIN_TEST_LINE_SPEEDUP";
    QByteArray saved_;
    int link_;
    int simulator_;
};
