#include "platform/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace Twips {

namespace {
constexpr double FallbackDpi = 96.0;

const QScreen* orPrimary(const QScreen* screen) {
    if (screen)
        return screen;
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen()
                                                                        : nullptr;
}

double perPixel(double dpi) {
    return PerInch / (dpi > 0 ? dpi : FallbackDpi);
}

int rounded(double value) {
    return int(std::lround(value));
}
} // namespace

double PerPixelX(const QScreen* screen) {
    const QScreen* s = orPrimary(screen);
    return perPixel(s ? s->logicalDotsPerInchX() : FallbackDpi);
}

double PerPixelY(const QScreen* screen) {
    const QScreen* s = orPrimary(screen);
    return perPixel(s ? s->logicalDotsPerInchY() : FallbackDpi);
}

QRect FromPixels(const QRect& pixels, const QScreen* screen) {
    const double x = PerPixelX(screen);
    const double y = PerPixelY(screen);
    return QRect(rounded(pixels.x() * x), rounded(pixels.y() * y), rounded(pixels.width() * x),
                 rounded(pixels.height() * y));
}

QRect ToPixels(const QRect& twips, const QScreen* screen) {
    const double x = PerPixelX(screen);
    const double y = PerPixelY(screen);
    return QRect(rounded(twips.x() / x), rounded(twips.y() / y), rounded(twips.width() / x),
                 rounded(twips.height() / y));
}

} // namespace Twips
