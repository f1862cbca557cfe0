#pragma once

#include "ui/png_pixmap.h"

#include <QIcon>

// The program's icon at the sizes rendered from assets/telvarin.svg.
inline QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 256})
        icon.addPixmap(pngPixmap(QStringLiteral(":/assets/telvarin-%1.png").arg(size)));
    return icon;
}
