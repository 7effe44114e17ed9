#include "forms/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace pelorix {

namespace {

constexpr double twipsPerInch = 1440.0;

int toPixels(double twips, double twipsPerPixel) {
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

} // namespace

double twipsPerPixelX(const QWidget& widget) {
    const int dpi = widget.logicalDpiX();
    return dpi > 0 ? twipsPerInch / dpi : 15.0;
}

double twipsPerPixelY(const QWidget& widget) {
    const int dpi = widget.logicalDpiY();
    return dpi > 0 ? twipsPerInch / dpi : 15.0;
}

int pixelsFromTwipsX(const QWidget& widget, double twips) {
    return toPixels(twips, twipsPerPixelX(widget));
}

int pixelsFromTwipsY(const QWidget& widget, double twips) {
    return toPixels(twips, twipsPerPixelY(widget));
}

double twipsFromPixelsX(const QWidget& widget, int pixels) {
    return pixels * twipsPerPixelX(widget);
}

double twipsFromPixelsY(const QWidget& widget, int pixels) {
    return pixels * twipsPerPixelY(widget);
}

QRect pixelRectFromTwips(const QWidget& widget, double left, double top, double width, double height) {
    // The far edges are rounded, not the sizes, so that controls that meet in twips meet in pixels.
    const int x = pixelsFromTwipsX(widget, left);
    const int y = pixelsFromTwipsY(widget, top);
    const int right = pixelsFromTwipsX(widget, left + width);
    const int bottom = pixelsFromTwipsY(widget, top + height);
    return {x, y, right - x, bottom - y};
}

void setTwipsGeometry(QWidget& widget, double left, double top, double width, double height) {
    widget.setGeometry(pixelRectFromTwips(widget, left, top, width, height));
}

FormPlacement availableAreaTwips(const QWidget& widget) {
    const QScreen* screen = widget.screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return {static_cast<std::int32_t>(std::lround(twipsFromPixelsX(widget, area.x()))),
            static_cast<std::int32_t>(std::lround(twipsFromPixelsY(widget, area.y()))),
            static_cast<std::int32_t>(std::lround(twipsFromPixelsX(widget, area.width()))),
            static_cast<std::int32_t>(std::lround(twipsFromPixelsY(widget, area.height())))};
}

void moveTwips(QWidget& widget, double left, double top) {
    widget.move(pixelsFromTwipsX(widget, left), pixelsFromTwipsY(widget, top));
}

void resizeTwips(QWidget& widget, double width, double height) {
    widget.resize(pixelsFromTwipsX(widget, width), pixelsFromTwipsY(widget, height));
}

} // namespace pelorix
