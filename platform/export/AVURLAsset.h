#pragma once
// A song of a library (or any song file) as the export service sees it: the
// asset URL and the file behind it.

#include "platform/foundation/Url.h"
#include "platform/library/AudioFormat.h"
#include "platform/library/Library.h"

#include <QString>
#include <QVariantMap>
#include <memory>

class AVURLAsset {
public:
    // The asset for `url`: an asset URL of `library`, or a file URL (which
    // needs no library). Nothing when the URL resolves to no file, or to one
    // that cannot be read. Whether the file holds audio shows only when it is
    // exported. `options` is accepted for form; no option is known.
    static std::shared_ptr<AVURLAsset> URLAssetWithURL(const Url& url, const medialibrary::Library* library = nullptr,
                                                       const QVariantMap& options = {});

    const Url& URL() const { return url_; }
    // Absolute path of the song file.
    const QString& filePath() const { return filePath_; }
    // The format the URL names: a library asset URL's extension, a file
    // URL's file name. The export checks it against the file's content.
    std::optional<medialibrary::AudioFormat> format() const;

    AVURLAsset(Url url, QString filePath) : url_(std::move(url)), filePath_(std::move(filePath)) {}

private:
    Url url_;
    QString filePath_;
};
