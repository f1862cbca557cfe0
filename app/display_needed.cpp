#include "app/display_needed.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler previous = nullptr;

void onStartMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        if (previous)
            previous(type, context, text);
        return;
    }
    std::fputs("telvarin: the window needs a display, and none could be opened (DISPLAY or WAYLAND_DISPLAY names "
               "none, or it refused the connection).\n"
               "telvarin-cli reads, writes and verifies a modem without a display.\n",
               stderr);
    std::_Exit(1);  // not abort(): nothing is wrong with the program
}

}  // namespace

void sayWhenNoDisplay() { previous = qInstallMessageHandler(onStartMessage); }

void endSayingWhenNoDisplay() { qInstallMessageHandler(previous); }
