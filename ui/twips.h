#pragma once

#include <QRect>

// The layout is drawn in twips; at 96 dots per inch 15 twips are one pixel.
constexpr int twipsToPixels(int twips) { return (twips + 7) / 15; }

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}
