#include "forms/WaitIcons.h"

#include "forms/WaitDisplay.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace pelorix {

namespace {

// Everything is drawn on a 32 x 32 grid, scaled to the requested size.
constexpr qreal grid = 32.0;

void drawGlyph(QPainter& painter, const QRectF& box, const QString& glyph, const QColor& color) {
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(20);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(box, Qt::AlignCenter, glyph);
}

void drawDisc(QPainter& painter, const QString& glyph) {
    QRadialGradient fill(QPointF(12, 10), 20);
    fill.setColorAt(0, QColor(0x6f, 0xa8, 0xf0));
    fill.setColorAt(1, QColor(0x1c, 0x5c, 0xc4));
    painter.setPen(QPen(QColor(0x12, 0x3f, 0x8a), 1.2));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(2, 2, 28, 28));
    drawGlyph(painter, QRectF(2, 2, 28, 28), glyph, Qt::white);
}

void drawWarning(QPainter& painter) {
    const QPolygonF triangle({QPointF(16, 2.5), QPointF(30.5, 28.5), QPointF(1.5, 28.5)});
    QLinearGradient fill(QPointF(16, 2), QPointF(16, 29));
    fill.setColorAt(0, QColor(0xff, 0xe0, 0x5a));
    fill.setColorAt(1, QColor(0xf2, 0xb1, 0x00));
    painter.setPen(QPen(QColor(0x9a, 0x6a, 0x00), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(fill);
    painter.drawPolygon(triangle);
    drawGlyph(painter, QRectF(2, 9, 28, 19), QStringLiteral("!"), Qt::black);
}

void drawHourglass(QPainter& painter) {
    const QColor frame(0x5a, 0x3c, 0x1e);
    painter.setPen(Qt::NoPen);
    painter.setBrush(frame);
    painter.drawRoundedRect(QRectF(6, 2, 20, 3), 1, 1);
    painter.drawRoundedRect(QRectF(6, 27, 20, 3), 1, 1);

    QPainterPath glass;
    glass.moveTo(8, 5);
    glass.lineTo(24, 5);
    glass.cubicTo(24, 12, 18, 14, 17.5, 16);
    glass.cubicTo(18, 18, 24, 20, 24, 27);
    glass.lineTo(8, 27);
    glass.cubicTo(8, 20, 14, 18, 14.5, 16);
    glass.cubicTo(14, 14, 8, 12, 8, 5);
    painter.setPen(QPen(QColor(0x4a, 0x6a, 0x8a), 1.0));
    painter.setBrush(QColor(0xe8, 0xf2, 0xfc));
    painter.drawPath(glass);

    // Sand: a little left above, a heap below and the falling thread between.
    const QColor sand(0xe0, 0xa8, 0x30);
    painter.setPen(Qt::NoPen);
    painter.setBrush(sand);
    QPainterPath top;
    top.moveTo(11, 10);
    top.lineTo(21, 10);
    top.cubicTo(20, 12.5, 17, 14, 16, 15.5);
    top.cubicTo(15, 14, 12, 12.5, 11, 10);
    painter.drawPath(top);
    QPainterPath heap;
    heap.moveTo(9, 26);
    heap.cubicTo(10, 22, 14, 21, 16, 20.5);
    heap.cubicTo(18, 21, 22, 22, 23, 26);
    heap.closeSubpath();
    painter.drawPath(heap);
    painter.drawRect(QRectF(15.6, 15.5, 0.8, 5.5));
}

} // namespace

QPixmap drawWaitImage(std::int16_t image, int sidePixels, qreal devicePixelRatio) {
    if (image < WaitImage::Running || image > WaitImage::Warning || sidePixels <= 0)
        return {};
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QPixmap picture(qRound(sidePixels * ratio), qRound(sidePixels * ratio));
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(sidePixels / grid, sidePixels / grid);
    switch (image) {
    case WaitImage::Running:
        drawHourglass(painter);
        break;
    case WaitImage::Information:
        drawDisc(painter, QStringLiteral("i"));
        break;
    case WaitImage::Question:
        drawDisc(painter, QStringLiteral("?"));
        break;
    default:
        drawWarning(painter);
        break;
    }
    return picture;
}

} // namespace pelorix
