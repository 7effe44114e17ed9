#pragma once

#include "forms/LogPlacement.h"

#include <QRect>

class QWidget;

namespace pelorix {

// Window units: twips, 1440 to the logical inch, so 15 to a pixel at 96 DPI. Design coordinates
// and the sizes kept in the settings file are twips; widgets are placed in pixels of the screen
// they are on, by its logical DPI (horizontal and vertical separately).
double twipsPerPixelX(const QWidget& widget);
double twipsPerPixelY(const QWidget& widget);

int pixelsFromTwipsX(const QWidget& widget, double twips);
int pixelsFromTwipsY(const QWidget& widget, double twips);
double twipsFromPixelsX(const QWidget& widget, int pixels);
double twipsFromPixelsY(const QWidget& widget, int pixels);

// The pixel rectangle of a place and size in twips.
QRect pixelRectFromTwips(const QWidget& widget, double left, double top, double width, double height);

// Places a widget at its design place and size, in twips, inside its parent.
void setTwipsGeometry(QWidget& widget, double left, double top, double width, double height);
// Moves a widget to a place in twips inside its parent, keeping its size.
void moveTwips(QWidget& widget, double left, double top);
// The available area (the screen without its panels) of the screen a widget is on, in twips.
FormPlacement availableAreaTwips(const QWidget& widget);

// Resizes a widget to a size in twips.
void resizeTwips(QWidget& widget, double width, double height);

} // namespace pelorix
