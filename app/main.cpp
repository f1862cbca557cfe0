#include "ui/fonts.h"
#include "app/main_window.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    installFontSubstitutes();
    frmMain window;
    // Centred on the screen when first shown.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    return app.exec();
}
