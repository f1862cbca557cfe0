#pragma once

#include <QString>

// Values the main window and the two editing dialogs pass to each other. The
// main window stores a row's text before it opens a dialog and, once the
// dialog has closed, takes the result back only when the matching Accepted
// flag is set. They live for the whole run, outside both windows.
namespace mdiMain {
extern QString gPhoneNo;
extern bool gPhoneNoAccepted;
extern QString gMessage;
extern bool gMessageAccepted;
}  // namespace mdiMain
