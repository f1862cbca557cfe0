#include "app/window_placement.h"

#include <algorithm>

QPoint startPosition(const QRect &available, const QSize &window)
{
    const QPoint centred = available.center() - QRect(QPoint(0, 0), window).center();
    return {std::max(centred.x(), available.left()), std::max(centred.y(), available.top())};
}

QSize fittedWindowSize(const QSize &content, const QSize &room, int bar)
{
    QSize size = content;
    bool across = size.width() > room.width(), down = size.height() > room.height();
    if (across)
        size.rheight() += bar;
    down = size.height() > room.height();
    if (down) {
        size.rwidth() += bar;
        if (!across && size.width() > room.width())
            size.rheight() += bar;
    }
    return size.boundedTo(room);
}

QPoint clearOf(const QRect &keep, const QSize &window, const QRect &available)
{
    constexpr int gap = 8;
    const int x = std::clamp(keep.center().x() - window.width() / 2, available.left(),
                             std::max(available.left(), available.right() + 1 - window.width()));
    int y = keep.bottom() + 1 + gap;
    if (y + window.height() > available.bottom() + 1)
        y = std::max(available.top(), keep.top() - gap - window.height());
    return {x, y};
}
