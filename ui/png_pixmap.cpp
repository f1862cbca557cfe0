#include "ui/png_pixmap.h"

#include <QImageReader>

QImage pngImage(const QString &fileName)
{
    QImageReader reader(fileName, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QPixmap pngPixmap(const QString &fileName) { return QPixmap::fromImage(pngImage(fileName)); }
