#include "platform/ui/Image.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <mutex>

namespace ui {

QImage imageNamed(const QString& name)
{
    // The densest screen decides, as it does for QIcon's files; the densest
    // drawing there is up to its ratio rounded up ("@3x", then "@2x", then
    // the plain file): at 1.5 the @2x drawing is drawn smaller rather than
    // the plain one larger.
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const int wanted = std::clamp(int(std::ceil(ratio - 0.01)), 1, 9);
    static std::mutex mutex;
    static QHash<QString, QImage> cache;
    std::lock_guard lock(mutex);
    const QString key = name + QLatin1Char('#') + QString::number(wanted);
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return it.value();
    const QString path = QStringLiteral(":/images/") + name;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    QImage image;
    for (int scale = wanted; scale > 1 && dot > 0 && image.isNull(); --scale) {
        const QString file = path.left(dot) + QStringLiteral("@%1x").arg(scale) + path.mid(dot);
        if (QFile::exists(file)) {
            image = QImageReader(file).read();
            image.setDevicePixelRatio(scale);
        }
    }
    if (image.isNull())
        image = QImage(path);
    cache.insert(key, image);
    return image;
}

} // namespace ui
