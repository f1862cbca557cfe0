// Developer tool: renders the main window, its open port list, the progress
// window and the two editors to PNG files, to look at the layout without a display:
//   QT_QPA_PLATFORM=offscreen build/tools/telvarin-snapshot out-dir [ports-dir]
// With a ports directory the main window is shot after Connect and Read
// from Device on COM 1 (tools/screenshot.sh puts a simulated modem there).
#include "ui/fonts.h"
#include "app/main_window.h"
#include "dialogs/frm_edit_message.h"
#include "dialogs/frm_edit_no.h"
#include "dialogs/hand_over.h"
#include "dialogs/progress_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    installFontSubstitutes();
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    const QString portsDir = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    frmMain window(portsDir);
    window.show();
    if (!portsDir.isEmpty()) {
        // A message box would wait for a click that never comes.
        QTimer::singleShot(30000, [] {
            std::fputs("telvarin-snapshot: no modem answered on COM 1\n", stderr);
            std::_Exit(1);
        });
        window.cmdConnect->click();
        window.cmdDeviceRead->click();
    }
    window.grab().save(dir + "/main_window.png");
    // The port list open: marked and unmarked entries should line up.
    window.cmbComm->showPopup();
    window.cmbComm->view()->window()->grab().save(dir + "/port_list.png");
    window.cmbComm->hidePopup();
    frmProgress progress(nullptr);
    progress.setMessage("Reading from device ...");
    progress.setValue(40);
    progress.show();
    progress.grab().save(dir + "/progress_window.png");
    mdiMain::gPhoneNo = "+911234567890";
    frmEditNo editNo(&window);
    editNo.show();
    editNo.grab().save(dir + "/edit_no.png");
    mdiMain::gMessage = "Fire alarm at site A\r\nCall the duty officer";
    frmEditMessage editMessage(&window);
    editMessage.show();
    editMessage.grab().save(dir + "/edit_message.png");
    return 0;
}
