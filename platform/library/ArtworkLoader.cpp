#include "platform/library/ArtworkLoader.h"

#include "platform/ui/Image.h"

namespace medialibrary {

ArtworkLoader::ArtworkLoader(int side, std::function<bool(quint64)> isOnScreen, std::function<qreal()> devicePixelRatio,
                             std::function<void(quint64)> loaded, QObject* parent)
    : QObject(parent), side_(side), isOnScreen_(std::move(isOnScreen)), devicePixelRatio_(std::move(devicePixelRatio)),
      loaded_(std::move(loaded))
{
}

ArtworkLoader::~ArtworkLoader()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

QImage ArtworkLoader::thumbnailFor(const MediaItem& item)
{
    if (!item.artwork())
        return ui::imageNamed(QStringLiteral("noArtwork.png"));
    auto it = thumbnails_.constFind(item.persistentID());
    if (it != thumbnails_.constEnd())
        return it.value();
    if (!requested_.contains(item.persistentID())) {
        requested_.insert(item.persistentID());
        pending_.push_back(item);
        QMetaObject::invokeMethod(this, [this] { pump(); }, Qt::QueuedConnection);
    }
    return {};
}

void ArtworkLoader::pump()
{
    while (inFlight_ < kMaxLoadsInFlight && !pending_.empty()) {
        const MediaItem item = pending_.back();
        pending_.pop_back();
        if (!isOnScreen_(item.persistentID())) {
            requested_.remove(item.persistentID()); // asked again when painted again
            continue;
        }
        ++inFlight_;
        ++loadsStarted_;
        {
            std::lock_guard lock(mutex_);
            jobs_.push_back({item, devicePixelRatio_()});
        }
        if (threads_.size() < std::size_t(kMaxLoadsInFlight))
            threads_.emplace_back([this] { work(); });
        wake_.notify_one();
    }
}

void ArtworkLoader::work()
{
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_)
            return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        QImage image = job.item.artwork()->imageWithSize(QSize(side_, side_), job.devicePixelRatio);
        lock.lock();
        done_.emplace_back(job.item.persistentID(), std::move(image));
        if (!stopping_)
            QMetaObject::invokeMethod(this, "takeLoaded", Qt::QueuedConnection);
    }
}

void ArtworkLoader::takeLoaded()
{
    std::vector<std::pair<quint64, QImage>> done;
    {
        std::lock_guard lock(mutex_);
        done.swap(done_);
    }
    for (auto& [id, image] : done) {
        --inFlight_;
        thumbnails_.insert(id, image.isNull() ? ui::imageNamed(QStringLiteral("noArtwork.png")) : image);
        thumbnailOrder_.push_back(id);
        if (loaded_)
            loaded_(id);
    }
    if (thumbnailOrder_.size() > std::size_t(kMaxThumbnails)) {
        const std::size_t drop = thumbnailOrder_.size() - kMaxThumbnails / 2;
        for (std::size_t i = 0; i < drop; ++i) {
            thumbnails_.remove(thumbnailOrder_[i]);
            requested_.remove(thumbnailOrder_[i]);
        }
        thumbnailOrder_.erase(thumbnailOrder_.begin(), thumbnailOrder_.begin() + long(drop));
    }
    pump();
}

} // namespace medialibrary
