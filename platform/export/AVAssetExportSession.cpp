#include "platform/export/AVAssetExportSession.h"

#include "platform/export/ExportService.h"
#include "platform/export/Remux.h"

#include <QFileInfo>

namespace {

Error serviceError(const QString& reason)
{
    return Error(Error::Kind::Other, QStringLiteral("export"), reason);
}

} // namespace

AVAssetExportSession::AVAssetExportSession(std::shared_ptr<AVURLAsset> asset, QString presetName)
    : asset_(std::move(asset)), presetName_(std::move(presetName))
{
}

std::shared_ptr<AVAssetExportSession> AVAssetExportSession::initWithAsset(std::shared_ptr<AVURLAsset> asset,
                                                                          const QString& presetName)
{
    if (!asset || presetName != AVAssetExportPresetPassthrough)
        return nullptr;
    return std::make_shared<AVAssetExportSession>(std::move(asset), presetName);
}

void AVAssetExportSession::setOutputFileType(const QString& fileType)
{
    std::lock_guard lock(mutex_);
    outputFileType_ = fileType;
}

QString AVAssetExportSession::outputFileType() const
{
    std::lock_guard lock(mutex_);
    return outputFileType_;
}

void AVAssetExportSession::setOutputURL(const Url& url)
{
    std::lock_guard lock(mutex_);
    outputURL_ = url;
}

Url AVAssetExportSession::outputURL() const
{
    std::lock_guard lock(mutex_);
    return outputURL_;
}

std::optional<Error> AVAssetExportSession::error() const
{
    std::lock_guard lock(mutex_);
    return error_;
}

void AVAssetExportSession::cancelExport()
{
    cancelled_.store(true);
}

void AVAssetExportSession::exportAsynchronouslyWithCompletionHandler(std::function<void()> handler)
{
    {
        std::lock_guard lock(mutex_);
        if (started_)
            return;
        started_ = true;
    }
    status_.store(AVAssetExportSessionStatusWaiting);
    exportservice::enqueue([self = shared_from_this(), handler = std::move(handler)]() mutable {
        self->run();
        if (handler)
            handler();
        // The handler, with whatever it holds, goes first; the session with it.
        handler = nullptr;
    });
}

void AVAssetExportSession::finish(AVAssetExportSessionStatus status, std::optional<Error> error)
{
    {
        std::lock_guard lock(mutex_);
        error_ = std::move(error);
    }
    if (status == AVAssetExportSessionStatusCompleted)
        progress_.store(1.0f);
    status_.store(status);
}

void AVAssetExportSession::run()
{
    if (cancelled_.load() || exportservice::isStopping()) {
        finish(AVAssetExportSessionStatusCancelled);
        return;
    }
    status_.store(AVAssetExportSessionStatusExporting);

    const QString fileType = outputFileType();
    const Url url = outputURL();
    const std::optional<medialibrary::AudioFormat> output = medialibrary::formatForExportFileType(fileType);
    if (!output) {
        finish(AVAssetExportSessionStatusFailed,
               serviceError(fileType.isEmpty() ? QStringLiteral("no output file type")
                                               : QStringLiteral("unsupported output file type %1").arg(fileType)));
        return;
    }
    if (url.isEmpty() || !url.isFileURL()) {
        finish(AVAssetExportSessionStatusFailed, serviceError(QStringLiteral("no output file URL")));
        return;
    }
    const QString destination = url.path();
    if (QFileInfo(destination).exists() || QFileInfo(destination).isSymLink()) {
        finish(AVAssetExportSessionStatusFailed,
               serviceError(QStringLiteral("a file already exists at %1").arg(destination)));
        return;
    }

    mediaexport::RemuxJob job;
    job.source = asset_->filePath();
    job.sourceFormat = asset_->format();
    job.destination = destination;
    job.output = *output;
    job.cancelled = [this] { return cancelled_.load() || exportservice::isStopping(); };
    job.progress = [this](float p) { progress_.store(p); };
    std::optional<Error> failure = mediaexport::remux(job);
    if (!failure)
        finish(AVAssetExportSessionStatusCompleted);
    else if (failure->kind() == Error::Kind::Cancelled)
        finish(AVAssetExportSessionStatusCancelled);
    else
        finish(AVAssetExportSessionStatusFailed, std::move(failure));
}
