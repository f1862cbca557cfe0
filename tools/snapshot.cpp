// Developer tool: renders the main window (and optionally the progress
// window) to PNG files, to look at the layout without a display:
//   QT_QPA_PLATFORM=offscreen build/tools/telvarin-snapshot out-dir
#include "app/fonts.h"
#include "app/main_window.h"
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
    return 0;
}
