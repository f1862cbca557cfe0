#include "app/window_placement.h"

#include <algorithm>

QPoint startPosition(const QRect &available, const QSize &window)
{
    const QPoint centred = available.center() - QRect(QPoint(0, 0), window).center();
    return {std::max(centred.x(), available.left()), std::max(centred.y(), available.top())};
}
