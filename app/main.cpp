#include "ui/after_first_paint.h"
#include "ui/fonts.h"
#include "app/application_icon.h"
#include "app/application_identity.h"
#include "app/display_needed.h"
#include "app/main_window.h"
#include "app/window_placement.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>

#include <cstring>

namespace {

enum class TextRequest { None, HelpOrVersion, HelpAll };

// Help and version are answered before a window system is opened, so they
// work over SSH with no display. Qt's own options (-platform, -style …)
// exist only in a GUI application, so --help-all lists them from one that
// runs on the offscreen platform.
TextRequest textRequest(int argc, char **argv)
{
    TextRequest request = TextRequest::None;
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help-all") == 0)
            return TextRequest::HelpAll;
        for (const char *option : {"-h", "--help", "-?", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0)
                request = TextRequest::HelpOrVersion;
    }
    return request;
}

void parseArguments(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("main",
                                    "Configures a serial SMS alarm modem: its %1 channels (enable flag, phone "
                                    "number, SMS message) and its slave ID.\n"
                                    "telvarin-cli reads, writes and verifies a modem from a script, without a "
                                    "display; telvarin-modem-simulator plays a modem on a pseudo-terminal. See "
                                    "their --help and man pages.")
            .arg(kChannelCount));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);
}

}  // namespace

int main(int argc, char **argv)
{
    setApplicationIdentity();
    QCoreApplication::setApplicationVersion(QStringLiteral(TELVARIN_VERSION));
    switch (textRequest(argc, argv)) {
    case TextRequest::HelpOrVersion: {
        const QCoreApplication app(argc, argv);
        parseArguments(app);  // prints the text and exits
        return 0;
    }
    case TextRequest::HelpAll:
        qputenv("QT_QPA_PLATFORM", "offscreen");
        break;
    case TextRequest::None:
        break;
    }
    sayWhenNoDisplay();
    QApplication app(argc, argv);
    endSayingWhenNoDisplay();
    parseArguments(app);

    // Every window, the dialogs included, shows the program's icon.
    QApplication::setWindowIcon(applicationIcon(kFirstIconSize));
    installFontSubstitutes();
    frmMain window;
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        window.fitToScreen(screen->availableGeometry());
        window.move(startPosition(screen->availableGeometry(), window.frameGeometry().size()));
    }
    afterFirstPaint(&window, [] { QApplication::setWindowIcon(applicationIcon()); });
    window.show();
    return app.exec();
}
