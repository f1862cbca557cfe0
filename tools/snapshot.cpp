// Developer tool: renders the main window, the progress window and the
// two editors to PNG files, to look at the layout without a display:
//   QT_QPA_PLATFORM=offscreen build/tools/telvarin-snapshot out-dir
#include "ui/fonts.h"
#include "app/main_window.h"
#include "dialogs/frm_edit_message.h"
#include "dialogs/frm_edit_no.h"
#include "dialogs/hand_over.h"
#include "transfer/progress_window.h"

#include <QApplication>
#include <QDir>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    installFontSubstitutes();
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    frmMain window;
    window.show();
    window.grab().save(dir + "/main_window.png");
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
