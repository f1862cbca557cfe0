#include "cli/sheet_application.h"

namespace {

QtMessageHandler passOn = nullptr;

void withoutRuntimeFolderNote(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    passOn(type, context, message);
}

}  // namespace

std::unique_ptr<QGuiApplication> sheetApplication(int &argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    passOn = qInstallMessageHandler(withoutRuntimeFolderNote);
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    qInstallMessageHandler(passOn);
    return app;
}
