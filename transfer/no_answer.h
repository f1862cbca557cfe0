#pragma once

#include <QObject>
#include <QString>

// What the operator is told when the modem did not answer the first read of
// a Read, a Write or a verify: the window's message box and the command
// line's error both start from it.
inline QString noAnswerText() { return QObject::tr("Cannot communicate with device"); }
