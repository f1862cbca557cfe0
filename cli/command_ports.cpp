#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "link/com_port.h"

int runPorts()
{
    for (const PresentComPort &port : presentComPorts(defaultPortsDirectory()))
        printLine(stdout, QStringLiteral("COM %1\t%2\t%3").arg(port.number).arg(port.device, port.description));
    return kExitOk;
}
