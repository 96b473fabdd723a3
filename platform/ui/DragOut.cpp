#include "platform/ui/DragOut.h"

#include <QDrag>
#include <QImage>
#include <QMimeData>
#include <QPixmap>
#include <QWidget>

namespace ui {

namespace {

QMimeData* mimeDataForFiles(const QList<QUrl>& urls)
{
    auto* data = new QMimeData;
    data->setUrls(urls);
    QStringList paths;
    for (const QUrl& url : urls)
        paths << url.toLocalFile();
    data->setText(paths.join(u'\n'));
    return data;
}

} // namespace

void dragOutFiles(QWidget* source, const QList<QUrl>& urls, const QImage& picture)
{
    if (urls.isEmpty())
        return;
    auto* drag = new QDrag(source); // Qt deletes it when the drag is over
    drag->setMimeData(mimeDataForFiles(urls));
    if (!picture.isNull()) {
        const qreal ratio = source->devicePixelRatioF();
        QImage shown = picture.scaled((QSizeF(48, 48) * ratio).toSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        shown.setDevicePixelRatio(ratio);
        drag->setPixmap(QPixmap::fromImage(shown));
        drag->setHotSpot(QPoint(int(shown.width() / ratio / 2), int(shown.height() / ratio / 2)));
    }
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

} // namespace ui
