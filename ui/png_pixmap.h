#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>

// A PNG file read as PNG and nothing else. A reader left to guess the format
// first loads every image plugin and asks each whether it can read the file,
// which costs the window milliseconds on its way to the screen.
QImage pngImage(const QString &fileName);
QPixmap pngPixmap(const QString &fileName);
