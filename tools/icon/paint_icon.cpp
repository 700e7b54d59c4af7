// paint_icon: draws the program's icon (a handheld terminal sending) at every size it ships in and writes one PNG per
// size into a folder; make-icon.sh packs them into the committed .ico. Each size is drawn, not scaled from another,
// with its edges on whole pixels, so the small sizes stay sharp.

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const QColor Outline(0x0b, 0x27, 0x40);
const QColor Body(0x1f, 0x4e, 0x79);
const QColor Screen(0x9f, 0xd3, 0xff);
const QColor Key(0xdf, 0xe9, 0xf3);
const QColor Wave(0xe0, 0x7b, 0x00);

// The icon is drawn on a 64-unit square.
constexpr double Grid = 64.0;

QImage paintIcon(int size)
{
    const double scale = size / Grid;
    const auto snap = [scale](double units) { return std::round(units * scale); };
    const auto box = [&snap](double left, double top, double right, double bottom) {
        return QRectF(QPointF(snap(left), snap(top)), QPointF(snap(right), snap(bottom)));
    };
    // Lines keep at least one pixel, or the small sizes lose them.
    const auto width = [scale](double units) { return std::max(1.0, std::round(units * scale)); };

    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    const QRectF body = box(9, 4, 40, 61);
    const double edge = width(2);
    const double radius = 6 * scale;
    painter.setBrush(Outline);
    painter.drawRoundedRect(body, radius, radius);
    painter.setBrush(Body);
    painter.drawRoundedRect(body.adjusted(edge, edge, -edge, -edge), std::max(0.0, radius - edge),
                            std::max(0.0, radius - edge));

    const QRectF screen = box(15, 10, 34, 29);
    const double frame = width(1);
    painter.fillRect(screen, Outline);
    painter.fillRect(screen.adjusted(frame, frame, -frame, -frame), Screen);

    // Below 24 px a key would be a single blurred pixel; the screen and the waves carry the picture there.
    // The keys are laid out in whole pixels and centred in the body, so all nine come out the same size.
    if (size >= 24) {
        const QRectF inside = body.adjusted(edge, edge, -edge, -edge);
        const double keyWidth = std::max(2.0, std::round(5 * scale));
        const double keyHeight = width(4);
        const double gap = width(2);
        const double rowGap = width(3);
        const double left = inside.left() + std::floor((inside.width() - (3 * keyWidth + 2 * gap)) / 2);
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 3; ++column) {
                painter.fillRect(QRectF(left + column * (keyWidth + gap), snap(34) + row * (keyHeight + rowGap),
                                        keyWidth, keyHeight),
                                 Key);
            }
        }
    }

    // Two arcs leave the terminal's top right; at 16 px only the outer one, thicker, still reads as a wave.
    const bool tiny = size < 24;
    painter.setPen(QPen(Wave, std::max(tiny ? 2.0 : 1.5, 3.5 * scale), Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    const QPointF centre(41 * scale, 21 * scale);
    for (const double radius : {8.0, 15.0}) {
        if (tiny && radius < 10) {
            continue;
        }
        const double r = radius * scale;
        painter.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), -55 * 16, 110 * 16);
    }
    painter.end();
    return image;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: paint_icon FOLDER\n");
        return 2;
    }
    for (const int size : {16, 24, 32, 48, 64, 256}) {
        const QString path = arguments[1] + QStringLiteral("/zelbo_udp-%1.png").arg(size);
        if (!paintIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "paint_icon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
