// ripwell-make-images DIR: draws the application's seven images into DIR, each
// at one and at two pixels a point ("folder.png" and "folder@2x.png").
// The PNGs in resources/images were made with it; run it again after changing a drawing.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

const QColor kAccent = QColor::fromRgbF(0.35f, 0.75f, 0.99f);

// An empty picture `side` points square at `scale` pixels a point; a painter
// on it draws in points.
QImage canvas(int side, int scale)
{
    QImage img(side * scale, side * scale, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(scale);
    img.fill(Qt::transparent);
    return img;
}

void note(QPainter& p, QPointF origin, double s, const QColor& c)
{
    // A beamed pair of eighth notes, `s` high.
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const double r = s * 0.16;
    const QPointF head1 = origin + QPointF(s * 0.18, s * 0.82);
    const QPointF head2 = origin + QPointF(s * 0.78, s * 0.70);
    p.save();
    for (QPointF h : {head1, head2}) {
        p.save();
        p.translate(h);
        p.rotate(-20);
        p.drawEllipse(QRectF(-r * 1.25, -r, r * 2.5, r * 2));
        p.restore();
    }
    p.restore();
    const double stem = s * 0.07;
    const double x1 = head1.x() + r * 1.05, x2 = head2.x() + r * 1.05;
    p.drawRect(QRectF(x1 - stem, origin.y() + s * 0.16, stem, head1.y() - origin.y() - s * 0.16));
    p.drawRect(QRectF(x2 - stem, origin.y() + s * 0.04, stem, head2.y() - origin.y() - s * 0.04));
    QPainterPath beam;
    beam.moveTo(x1 - stem, origin.y() + s * 0.16);
    beam.lineTo(x2, origin.y() + s * 0.04);
    beam.lineTo(x2, origin.y() + s * 0.04 + s * 0.14);
    beam.lineTo(x1 - stem, origin.y() + s * 0.30);
    beam.closeSubpath();
    p.drawPath(beam);
}

QImage noArtwork(int scale)
{
    const int n = 256;
    QImage img = canvas(n, scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, n, n);
    g.setColorAt(0, QColor(44, 48, 56));
    g.setColorAt(1, QColor(14, 15, 18));
    const QRectF whole(0, 0, n, n);
    p.fillRect(whole, g);
    QRadialGradient glow(n / 2.0, n / 2.0, n * 0.45);
    glow.setColorAt(0, QColor(89, 191, 252, 60));
    glow.setColorAt(1, QColor(89, 191, 252, 0));
    p.fillRect(whole, glow);
    p.setPen(QPen(QColor(89, 191, 252, 150), 5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(n / 2.0, n / 2.0), n * 0.34, n * 0.34);
    note(p, QPointF(n * 0.30, n * 0.28), n * 0.42, QColor(235, 240, 245));
    return img;
}

QImage mark(bool success, int scale)
{
    const int n = 128;
    QImage img = canvas(n, scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor c = success ? kAccent : QColor(255, 90, 80);
    QColor fill = c;
    fill.setAlpha(60);
    p.setBrush(fill);
    p.setPen(QPen(c, 7));
    p.drawEllipse(QRectF(6, 6, n - 12, n - 12));
    p.setPen(QPen(Qt::white, 11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (success) {
        QPainterPath tick;
        tick.moveTo(36, 66);
        tick.lineTo(56, 86);
        tick.lineTo(93, 45);
        p.drawPath(tick);
    } else {
        p.drawLine(QPointF(44, 44), QPointF(84, 84));
        p.drawLine(QPointF(84, 44), QPointF(44, 84));
    }
    return img;
}

QImage folder(int scale)
{
    const int n = 40;
    QImage img = canvas(n, scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath back;
    back.addRoundedRect(QRectF(3, 8, 34, 26), 3, 3);
    back.addRoundedRect(QRectF(3, 5, 14, 8), 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent.darker(150));
    p.drawPath(back.simplified());
    QLinearGradient g(0, 13, 0, 34);
    g.setColorAt(0, kAccent.lighter(115));
    g.setColorAt(1, kAccent);
    p.setBrush(g);
    p.setPen(QPen(Qt::white, 1.5));
    p.drawRoundedRect(QRectF(3, 13, 34, 21), 3, 3);
    return img;
}

QImage file(int scale)
{
    const int n = 40;
    QImage img = canvas(n, scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath sheet;
    sheet.moveTo(8, 3);
    sheet.lineTo(25, 3);
    sheet.lineTo(33, 11);
    sheet.lineTo(33, 37);
    sheet.lineTo(8, 37);
    sheet.closeSubpath();
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    p.setBrush(QColor(30, 34, 40));
    p.drawPath(sheet);
    p.drawPolyline(QPolygonF({QPointF(25, 3), QPointF(25, 11), QPointF(33, 11)}));
    note(p, QPointF(12.5, 14), 17, kAccent);
    return img;
}

// A sheet with a list on it: a playlist file.
QImage playlist(int scale)
{
    QImage img = file(scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(QRectF(10, 13, 21, 22.5), QColor(30, 34, 40)); // the note goes
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (int row = 0; row < 4; ++row) {
        const double y = 16 + row * 5.5;
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawEllipse(QPointF(13.5, y), 1.6, 1.6);
        p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(17.5, y), QPointF(row == 3 ? 24 : 29, y));
    }
    return img;
}

QImage mail(int scale)
{
    const int n = 32;
    QImage img = canvas(n, scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(2.5, 7.5, 27, 18);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kAccent);
    p.drawRoundedRect(body, 2.5, 2.5);
    p.drawPolyline(QPolygonF({body.topLeft() + QPointF(1, 1), QPointF(16, 18), body.topRight() + QPointF(-1, 1)}));
    return img;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Usage: ripwell-make-images DIR\n", stderr);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(dir.path());
    for (int scale : {1, 2}) {
        const QString suffix = scale == 1 ? QStringLiteral(".png") : QStringLiteral("@%1x.png").arg(scale);
        const std::pair<const char*, QImage> images[] = {
            {"noArtwork", noArtwork(scale)}, {"successful", mark(true, scale)}, {"failed", mark(false, scale)},
            {"folder", folder(scale)},       {"file", file(scale)},             {"mail", mail(scale)},
            {"playlist", playlist(scale)},
        };
        for (const auto& [name, image] : images) {
            const QString fileName = QString::fromLatin1(name) + suffix;
            if (!image.save(dir.filePath(fileName))) {
                std::fprintf(stderr, "ripwell-make-images: cannot write %s\n", qPrintable(fileName));
                return 1;
            }
        }
    }
    return 0;
}
