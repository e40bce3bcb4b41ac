#pragma once
#include <QRect>

class QScreen;

// Twips (1/1440 inch), the unit in which window positions and sizes are stored, and the pixels
// of a screen. The factors come from the screen's logical DPI: at 96 DPI one pixel is 15 twips.
namespace Twips {

constexpr int PerInch = 1440;

// Twips per pixel, horizontally and vertically, of `screen` (the primary screen when null; 15
// when there is no screen at all).
double PerPixelX(const QScreen* screen = nullptr);
double PerPixelY(const QScreen* screen = nullptr);

// A rectangle in pixels as twips (left and width with the horizontal factor, top and height with
// the vertical one), each rounded to a whole twip.
QRect FromPixels(const QRect& pixels, const QScreen* screen = nullptr);
// A rectangle in twips as pixels, each value rounded to a whole pixel.
QRect ToPixels(const QRect& twips, const QScreen* screen = nullptr);

} // namespace Twips
