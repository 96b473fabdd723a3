#pragma once
// The export session: writes an asset's audio into a new file in another
// container without re-encoding it (the passthrough preset). The export runs
// on the export service's thread; status, progress and error can be read from
// any thread at any time.

#include "platform/export/AVURLAsset.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Url.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// The one preset: the samples are copied unchanged.
inline const QString AVAssetExportPresetPassthrough = QStringLiteral("AVAssetExportPresetPassthrough");

// Output file types: the export file types of the table of formats. These
// four are the phone's; every other converted format has its own there.
inline const QString AVFileTypeQuickTimeMovie = QStringLiteral("com.apple.quicktime-movie");
inline const QString AVFileTypeAppleM4A = QStringLiteral("com.apple.m4a-audio");
inline const QString AVFileTypeWAVE = QStringLiteral("com.microsoft.waveform-audio");
inline const QString AVFileTypeAIFF = QStringLiteral("public.aiff-audio");

enum AVAssetExportSessionStatus : std::int32_t {
    AVAssetExportSessionStatusUnknown = 0,
    AVAssetExportSessionStatusWaiting = 1,
    AVAssetExportSessionStatusExporting = 2,
    AVAssetExportSessionStatusCompleted = 3,
    AVAssetExportSessionStatusFailed = 4,
    AVAssetExportSessionStatusCancelled = 5,
};

class AVAssetExportSession : public std::enable_shared_from_this<AVAssetExportSession> {
public:
    // A session on `asset` with the preset `presetName`. Nothing without an
    // asset or for an unknown preset.
    static std::shared_ptr<AVAssetExportSession> initWithAsset(std::shared_ptr<AVURLAsset> asset, const QString& presetName);

    // The export file type of a converted format (one of the AVFileType
    // constants, or another of the table's); set before the export starts.
    void setOutputFileType(const QString& fileType);
    QString outputFileType() const;
    // The file to write. Nothing may exist there when the export starts.
    void setOutputURL(const Url& url);
    Url outputURL() const;

    // Returns at once. The export runs on the export service's thread, and
    // `handler` is called there exactly once, when status has become Completed,
    // Failed or Cancelled. A session exports once; later calls are ignored.
    // The service keeps the session alive until the handler has returned.
    void exportAsynchronouslyWithCompletionHandler(std::function<void()> handler);

    // Stops a waiting or running export; it then ends as Cancelled (or as it
    // would have, if it had already ended).
    void cancelExport();

    AVAssetExportSessionStatus status() const { return static_cast<AVAssetExportSessionStatus>(status_.load()); }
    // 0.0 to 1.0; never falls.
    float progress() const { return progress_.load(); }
    // Set when the export has failed; nothing otherwise.
    std::optional<Error> error() const;

    const std::shared_ptr<AVURLAsset>& asset() const { return asset_; }
    const QString& presetName() const { return presetName_; }

    AVAssetExportSession(std::shared_ptr<AVURLAsset> asset, QString presetName);

private:
    void run();
    void finish(AVAssetExportSessionStatus status, std::optional<Error> error = std::nullopt);

    const std::shared_ptr<AVURLAsset> asset_;
    const QString presetName_;
    mutable std::mutex mutex_; // guards the fields below
    QString outputFileType_;
    Url outputURL_;
    std::optional<Error> error_;
    bool started_ = false;
    std::atomic<std::int32_t> status_{AVAssetExportSessionStatusUnknown};
    std::atomic<float> progress_{0.0f};
    std::atomic<bool> cancelled_{false};
};
