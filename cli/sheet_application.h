#pragma once

#include <QGuiApplication>

#include <memory>

// The application the sheet draws with: a QGuiApplication on the offscreen
// platform, so it needs no display. Qt looks for a runtime folder while it
// starts and says on standard error that XDG_RUNTIME_DIR is not set where
// it is not (a service, a container, ssh without a session); the sheet uses
// no runtime folder, so that line is left out, and only that line.
std::unique_ptr<QGuiApplication> sheetApplication(int &argc, char **argv);
