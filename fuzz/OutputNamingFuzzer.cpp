// Output naming on arbitrary tags: whatever the title, artist and album, the
// file lies strictly inside the documents directory, and cleaning removes
// every character it promises to remove, control characters included.
#include "Classes/OutputNaming.h"
#include "platform/library/AudioFormat.h"

#include <QDir>
#include <QFileInfo>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString documents = [] {
        const QString base = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        return base + QStringLiteral("/ripwell-fuzz-docs-%1").arg(::getpid());
    }();
    if (size < 1)
        return 0;
    // First byte: which tags are present and the extension; then title, artist
    // and album separated by NUL bytes.
    const std::uint8_t flags = data[0];
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)).split('\0');
    const auto part = [&](int i, int bit) -> std::optional<QString> {
        if (!(flags & (1 << bit)))
            return std::nullopt;
        return i < parts.size() ? QString::fromUtf8(parts[i]) : QString();
    };
    // The output extension of a converted format of the table.
    std::vector<const char*> extensions;
    for (const auto& format : medialibrary::audioFormats())
        if (format.converted())
            extensions.push_back(format.outputExtension);
    const Url asset = Url::fromString(
        QStringLiteral("library://item/item.%1?id=1").arg(QLatin1String(extensions[(flags >> 3) % extensions.size()])));

    const QString cleaned = cleanUpFilename(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    for (QChar c : cleaned) {
        if (QStringLiteral(":;\\|><!?$*%+='^`\"").contains(c))
            std::abort();
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            std::abort(); // a control character left in a name
    }

    QDir().mkpath(documents);
    const Url url = outputURLForItem(asset, part(0, 0), part(1, 1), part(2, 2), documents);
    const QString path = url.path();
    const QString inside = QDir::cleanPath(path);
    if (!inside.startsWith(documents + QLatin1Char('/')) || inside != path)
        std::abort(); // outside the documents directory, or not a clean path
    if (QFileInfo(path).fileName().toUtf8().size() > 255)
        std::abort();
    QDir(documents).removeRecursively();
    return 0;
}
