#include "ui/png_pixmap.h"

#include <QImageReader>

QPixmap pngPixmap(const QString &fileName)
{
    QImageReader reader(fileName, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}
