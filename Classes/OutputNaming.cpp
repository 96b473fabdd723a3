#include "Classes/OutputNaming.h"
#include "platform/foundation/Localization.h"

#include "platform/foundation/Destination.h"
#include "platform/foundation/FolderWalk.h"
#include "platform/foundation/PathString.h"

#include <QStringList>

namespace {

// Removed in this order.
constexpr char16_t kRemovedCharacters[] = {u':', u';', u'\\', u'|', u'>', u'<', u'!', u'?', u'$',
                                           u'*', u'%', u'+', u'=', u'\'', u'^', u'`', u'"'};
static_assert(std::size(kRemovedCharacters) == 17);

// The longest file or folder name the usual Linux file systems take.
constexpr qsizetype kMaxNameBytes = 255;

// The longest start of `name` that fits into `maxBytes` bytes of UTF-8,
// cut between two code points.
QString fitToBytes(const QString& name, qsizetype maxBytes)
{
    if (name.toUtf8().size() <= maxBytes)
        return name;
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < name.size()) {
        const bool pair = name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(name[i], name[i + 1]) : name[i].unicode();
        const qsizetype length = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        if (bytes + length > maxBytes)
            break;
        bytes += length;
        i += pair ? 2 : 1;
    }
    return name.left(i);
}

} // namespace

QString cleanUpFilename(const QString& name)
{
    QString cleaned = name;
    for (char16_t c : kRemovedCharacters)
        cleaned.replace(QChar(c), QString());
    // Control characters (C0, DEL and C1) have no place in a file name: a
    // newline or an escape sequence from a tag would end up in listings and
    // on terminals. A surrogate without its pair is no character at all.
    QString kept;
    kept.reserve(cleaned.size());
    for (qsizetype i = 0; i < cleaned.size(); ++i) {
        const QChar c = cleaned[i];
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            continue;
        if (c.isHighSurrogate() && i + 1 < cleaned.size() && cleaned[i + 1].isLowSurrogate()) {
            kept += c;
            kept += cleaned[++i];
            continue;
        }
        if (c.isSurrogate())
            continue;
        kept += c;
    }
    return kept.trimmed();
}

QString outputRelativePath(const QString& extension, const std::optional<QString>& title,
                           const std::optional<QString>& artist, const std::optional<QString>& albumTitle,
                           const QString& fileStem, bool windowsNames)
{
    const auto givesName = [](const QString& text) { return !cleanUpFilename(text).split(u'/', Qt::SkipEmptyParts).isEmpty(); };
    const QString untitled = QStringLiteral("Untitled");
    QString fileName = title.value_or(QString());
    if (!title || !givesName(fileName))
        fileName = givesName(fileStem) ? fileStem : untitled;
    QString name = fileName;
    if (artist)
        name = albumTitle ? path::appendingComponent(path::appendingComponent(*artist, *albumTitle), fileName)
                          : path::appendingComponent(*artist, fileName);

    QStringList levels = cleanUpFilename(name).split(u'/', Qt::SkipEmptyParts);
    if (levels.isEmpty())
        levels.append(untitled);
    for (QString& level : levels) {
        if (level == u"." || level == u"..")
            level = QStringLiteral("_");
    }

    const qsizetype extensionBytes = extension.isEmpty() ? 0 : 1 + extension.toUtf8().size();
    for (qsizetype i = 0; i < levels.size(); ++i) {
        const bool last = i + 1 == levels.size();
        levels[i] = fitToBytes(levels[i], last ? std::max<qsizetype>(1, kMaxNameBytes - extensionBytes) : kMaxNameBytes);
        if (last && !extension.isEmpty())
            levels[i] = path::appendingExtension(levels[i], extension);
        // A name cut short can end in a space or a dot as well. (UTF-8 takes
        // at least as many bytes as UTF-16 units, so 255 bytes fit Windows.)
        if (windowsNames)
            levels[i] = destination::windowsName(levels[i]);
    }
    return levels.join(u'/');
}

QString outputRelativePathOf(const medialibrary::MediaItem& item, const QString& extension, bool windowsNames)
{
    // An absent tag is no tag; an empty one is there, and empty.
    const auto tag = [](const QString& value) { return value.isNull() ? std::nullopt : std::optional<QString>(value); };
    return outputRelativePath(extension, tag(item.title()), tag(item.artist()), tag(item.albumTitle()), item.fileStem(),
                              windowsNames);
}

QString playlistRelativePath(const QString& name, bool windowsNames)
{
    const QString oneLevel = QString(name).replace(u'/', u'_');
    return path::appendingComponent(playlistsFolderName(),
                                    outputRelativePath(QStringLiteral("m3u8"), oneLevel, std::nullopt, std::nullopt,
                                                       QStringLiteral("Playlist"), windowsNames));
}

bool makeOutputFolder(const QString& documentsDirectory, const QString& relativeFile, QString* folderFailure,
                      QStringList* createdFolders)
{
    const FolderWalk walk(documentsDirectory);
    QStringList made;
    const bool ok = static_cast<bool>(
        walk.openFolder(path::deletingLastComponent(relativeFile), true, nullptr, &made, folderFailure));
    if (createdFolders) {
        for (const QString& folder : made)
            createdFolders->append(path::appendingComponent(documentsDirectory, folder));
    }
    return ok;
}

Url outputURLForItem(const Url& assetURL, const std::optional<QString>& title, const std::optional<QString>& artist,
                     const std::optional<QString>& albumTitle, const QString& documentsDirectory,
                     QString* folderFailure, QStringList* createdFolders, const QString& fileStem)
{
    const QString relative = outputRelativePath(assetURL.pathExtension(), title, artist, albumTitle, fileStem);
    makeOutputFolder(documentsDirectory, relative, folderFailure, createdFolders);
    return Url::fileURLWithPath(path::appendingComponent(documentsDirectory, relative));
}

QString numberedOutputPath(const QString& relativeFile, int number)
{
    const QString extension = path::extension(relativeFile);
    const QString stem = extension.isEmpty() ? relativeFile : path::deletingExtension(relativeFile);
    const QString folder = path::deletingLastComponent(stem);
    const QString suffix = QStringLiteral(" (%1)").arg(number);
    const qsizetype reserved = suffix.toUtf8().size() + (extension.isEmpty() ? 0 : 1 + extension.toUtf8().size());
    const QString name = fitToBytes(path::lastComponent(stem), std::max<qsizetype>(1, kMaxNameBytes - reserved)) + suffix;
    const QString file = path::appendingComponent(folder, name);
    return extension.isEmpty() ? file : path::appendingExtension(file, extension);
}

Url numberedOutputURL(const Url& url, int number)
{
    return Url::fileURLWithPath(numberedOutputPath(url.path(), number));
}
