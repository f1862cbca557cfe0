#pragma once

#include <QGuiApplication>

// The names a desktop matches the window to its launcher by: on X11 the
// window class, which Qt takes from the application name, against the
// desktop entry's StartupWMClass; on Wayland the app id, the desktop
// entry's file name.
inline void setApplicationIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("telvarin"));
    QGuiApplication::setDesktopFileName(QStringLiteral("example.brackwell.telvarin"));
}
