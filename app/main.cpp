#include "ui/fonts.h"
#include "app/application_icon.h"
#include "app/main_window.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("telvarin"));
    QApplication::setApplicationVersion(QStringLiteral(TELVARIN_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Configures a serial SMS alarm modem: its 16 channels (enable flag, phone number, "
                       "SMS message) and its slave ID."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    // Every window, the dialogs included, shows the program's icon.
    QApplication::setWindowIcon(applicationIcon());
    installFontSubstitutes();
    frmMain window;
    // Centred on the screen when first shown.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    return app.exec();
}
