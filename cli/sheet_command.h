#pragma once

#include <QGuiApplication>
#include <QStringList>

#include <memory>

// telvarin-cli sheet …: the page to leave at the site, from a configuration
// file or a history record. `arguments` as QCoreApplication::arguments();
// returns the exit code. It needs the application below (it draws text).
int runSheet(const QStringList &arguments);

// The application the sheet draws with: a QGuiApplication on the offscreen
// platform, so it needs no display. Qt looks for a runtime folder while it
// starts and says on standard error that XDG_RUNTIME_DIR is not set where
// it is not (a service, a container, ssh without a session); the sheet uses
// no runtime folder, so that line is left out, and only that line.
std::unique_ptr<QGuiApplication> sheetApplication(int &argc, char **argv);
