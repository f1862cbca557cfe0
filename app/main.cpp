#include "ui/fonts.h"
#include "app/application_icon.h"
#include "app/main_window.h"
#include "app/window_placement.h"

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
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window.move(startPosition(screen->availableGeometry(), window.frameGeometry().size()));
    window.show();
    return app.exec();
}
