#include "dialogs/hand_over.h"

namespace mdiMain {
QString gPhoneNo;
bool gPhoneNoAccepted = false;
QString gMessage;
bool gMessageAccepted = false;
}  // namespace mdiMain
