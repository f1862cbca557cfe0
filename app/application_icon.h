#pragma once

#include "ui/png_pixmap.h"

#include <QIcon>

#include <limits>

// The program's icon at the sizes the build renders into it from
// assets/telvarin.svg, up to largest pixels wide.
inline QIcon applicationIcon(int largest = std::numeric_limits<int>::max())
{
    QIcon icon;
    for (int size : {TELVARIN_PROGRAM_ICON_SIZES})
        if (size <= largest)
            icon.addPixmap(pngPixmap(QStringLiteral(":/assets/telvarin-%1.png").arg(size)));
    return icon;
}

// The sizes a title bar and a task bar show. The 256 pixel size, for task
// switchers, is sent to the window manager only after the window's first
// paint: converted and sent twice as the window is made, it would delay the
// window by several milliseconds.
constexpr int kFirstIconSize = 64;
