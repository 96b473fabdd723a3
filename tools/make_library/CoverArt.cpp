#include "tools/make_library/CoverArt.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace songgen {

namespace {
struct Rng {
    std::uint32_t state;
    std::uint32_t next()
    {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    int range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<std::uint32_t>(hi - lo + 1)); }
};
} // namespace

Cover drawCover(std::uint32_t seed, int size)
{
    Rng rng{seed * 2654435761u + 17u};
    QImage image(size, size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const int hue = rng.range(0, 359);
    QLinearGradient background(0, 0, size, size);
    background.setColorAt(0.0, QColor::fromHsv(hue, 200, 90));
    background.setColorAt(1.0, QColor::fromHsv((hue + 60) % 360, 220, 200));
    p.fillRect(image.rect(), background);

    // A sun and a few rolling hills: a landscape that differs per seed.
    const QPointF sun(size * rng.range(25, 75) / 100.0, size * rng.range(20, 40) / 100.0);
    QRadialGradient glow(sun, size * 0.22);
    glow.setColorAt(0.0, QColor::fromHsv((hue + 180) % 360, 80, 255));
    glow.setColorAt(1.0, Qt::transparent);
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(sun, size * 0.22, size * 0.22);

    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath hill;
        const double base = size * (0.62 + 0.11 * layer);
        hill.moveTo(0, size);
        hill.lineTo(0, base);
        const int bumps = rng.range(2, 4);
        for (int b = 0; b < bumps; ++b) {
            const double x0 = size * b / double(bumps);
            const double x1 = size * (b + 1) / double(bumps);
            hill.quadTo((x0 + x1) / 2, base - size * rng.range(5, 20) / 100.0, x1, base);
        }
        hill.lineTo(size, size);
        hill.closeSubpath();
        p.setBrush(QColor::fromHsv((hue + 200 + 25 * layer) % 360, 160, 60 + 45 * layer));
        p.drawPath(hill);
    }

    // A white frame ring, as on a record sleeve.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 160), size / 60.0));
    p.drawEllipse(QPointF(size / 2.0, size / 2.0), size * 0.42, size * 0.42);
    p.end();

    Cover cover;
    QBuffer buffer(&cover.data);
    buffer.open(QIODevice::WriteOnly);
    if (image.save(&buffer, "JPEG", 85)) {
        cover.mime = "image/jpeg";
    } else {
        cover.data.clear();
        buffer.seek(0);
        image.save(&buffer, "PNG");
        cover.mime = "image/png";
    }
    return cover;
}

} // namespace songgen
