// Build-time tool: draws the application icon (the shapes of icons/velda9.svg) as PNG files of given sizes.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

// Coordinates are those of the 256 x 256 SVG drawing; the painter scales them to the target size.
void drawIcon(QPainter &painter) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x4e, 0x79));
    painter.drawRoundedRect(QRectF(40, 12, 176, 232), 28, 28);
    painter.setBrush(QColor(0xcf, 0xe8, 0xcf));
    painter.drawRoundedRect(QRectF(56, 32, 144, 96), 8, 8);

    const std::array<QPointF, 6> trace{{{68, 108}, {92, 92}, {112, 100}, {136, 64}, {160, 76}, {188, 48}}};
    QPen pen(QColor(0x1b, 0x3d, 0x1b), 8);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(trace.data(), static_cast<int>(trace.size()));

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xf2, 0xa9, 0x00));
    painter.drawEllipse(QPointF(92, 168), 18, 18);
    painter.drawEllipse(QPointF(164, 168), 18, 18);
    painter.setBrush(QColor(0x9f, 0xb7, 0xcc));
    painter.drawRoundedRect(QRectF(76, 204, 104, 16), 8, 8);
}

} // namespace

// Usage: velda9-icon-render SIZE OUTPUT.png [SIZE OUTPUT.png ...]
int main(int argc, char **argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: %s SIZE OUTPUT.png [SIZE OUTPUT.png ...]\n", argv[0]);
        return 2;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const int size = std::atoi(argv[i]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "bad icon size %s\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(size / 256.0, size / 256.0);
            drawIcon(painter);
        }
        if (!image.save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", argv[i + 1]);
            return 4;
        }
    }
    return 0;
}
