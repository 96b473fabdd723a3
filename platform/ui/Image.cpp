#include "platform/ui/Image.h"

#include <QHash>
#include <mutex>

namespace ui {

QImage imageNamed(const QString& name)
{
    static std::mutex mutex;
    static QHash<QString, QImage> cache;
    std::lock_guard lock(mutex);
    auto it = cache.constFind(name);
    if (it != cache.constEnd())
        return it.value();
    QImage image(QStringLiteral(":/images/") + name);
    cache.insert(name, image);
    return image;
}

} // namespace ui
