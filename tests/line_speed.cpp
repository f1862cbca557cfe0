// Linked into the test programs and the test build of the command line: the
// suite runs the simulator's line and the link TELVARIN_TEST_LINE_SPEEDUP
// times faster than 9600 baud, so a transfer takes a fraction of its time.
// The installed programs have no such setting.
#include "link/serial_link.h"
#include "tools/modemsim/modem_simulator.h"

#include <QtGlobal>

namespace {

const bool lineSpeedSet = [] {
    const int factor = qEnvironmentVariableIntValue("TELVARIN_TEST_LINE_SPEEDUP");
    SerialLink::setLineSpeedUp(factor);
    modemsim::setDefaultLineSpeedUp(factor);
    return true;
}();

}  // namespace
