#include "Classes/OutputNaming.h"
#include "platform/foundation/Localization.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/PathString.h"

#include <cerrno>
#include <fcntl.h>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
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
                           const QString& fileStem)
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
    }
    const QString file = levels.join(u'/');
    return extension.isEmpty() ? file : path::appendingExtension(file, extension);
}

QString outputRelativePathOf(const medialibrary::MediaItem& item, const QString& extension)
{
    // An absent tag is no tag; an empty one is there, and empty.
    const auto tag = [](const QString& value) { return value.isNull() ? std::nullopt : std::optional<QString>(value); };
    return outputRelativePath(extension, tag(item.title()), tag(item.artist()), tag(item.albumTitle()), item.fileStem());
}

bool makeOutputFolder(const QString& documentsDirectory, const QString& relativeFile, QString* folderFailure,
                      QStringList* createdFolders)
{
    const QStringList levels = path::deletingLastComponent(relativeFile).split(u'/', Qt::SkipEmptyParts);
    QStringList made; // shallowest first
    QString at = documentsDirectory;
    FileDescriptor folder(::open(path::native(documentsDirectory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    auto fail = [&](const QString& name, int error) {
        if (folderFailure) {
            *folderFailure = error == ELOOP
                                 ? L("Could not create folder %1: it is a symbolic link, and nothing is written "
                                     "through one")
                                       .arg(name)
                                 : L("Could not create folder %1: %2")
                                       .arg(name, QString::fromLocal8Bit(std::strerror(error)));
        }
        return false;
    };
    bool ok = folder || fail(documentsDirectory, errno);
    for (qsizetype i = 0; ok && i < levels.size(); ++i) {
        const QByteArray level = path::native(levels[i]);
        at = path::appendingComponent(at, levels[i]);
        FileDescriptor next(::openat(folder.get(), level.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next && errno == ENOENT) {
            if (::mkdirat(folder.get(), level.constData(), 0777) == 0)
                made.append(at);
            else if (errno != EEXIST) { // made by another in the meantime: open it as it is
                ok = fail(at, errno);
                break;
            }
            next.reset(::openat(folder.get(), level.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        }
        if (!next) {
            // A link in the way is never followed (O_NOFOLLOW with O_DIRECTORY
            // says ELOOP or ENOTDIR); for a file in the way the folder below it
            // cannot be made ("Not a directory"), and a file where the last
            // folder should be is there already.
            int error = errno;
            struct stat info {};
            if ((error == ENOTDIR || error == ELOOP) &&
                ::fstatat(folder.get(), level.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(info.st_mode))
                error = ELOOP;
            if (error == ENOTDIR)
                ok = i + 1 < levels.size() ? fail(path::appendingComponent(at, levels[i + 1]), ENOTDIR) : fail(at, EEXIST);
            else
                ok = fail(at, error);
            break;
        }
        folder = std::move(next);
    }
    if (createdFolders) {
        for (auto it = made.crbegin(); it != made.crend(); ++it)
            createdFolders->append(*it);
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
