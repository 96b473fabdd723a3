#include "Classes/OutputNaming.h"

#include "platform/foundation/PathString.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <QFileInfo>
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
    // on terminals.
    cleaned.removeIf([](QChar c) { return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F); });
    return cleaned.trimmed();
}

Url outputURLForItem(const Url& assetURL, const std::optional<QString>& title, const std::optional<QString>& artist,
                     const std::optional<QString>& albumTitle, const QString& documentsDirectory,
                     QString* folderFailure)
{
    const QString untitled = QStringLiteral("Untitled");
    const QString fileName = title.value_or(untitled);
    QString name = fileName;
    if (artist)
        name = albumTitle ? path::appendingComponent(path::appendingComponent(*artist, *albumTitle), fileName)
                          : path::appendingComponent(*artist, fileName);

    QStringList levels = cleanUpFilename(name).split(u'/', Qt::SkipEmptyParts);
    if (levels.isEmpty() || cleanUpFilename(fileName).split(u'/', Qt::SkipEmptyParts).isEmpty())
        levels.append(untitled); // the title gave no name of its own
    for (QString& level : levels) {
        if (level == u"." || level == u"..")
            level = QStringLiteral("_");
    }

    const QString extension = assetURL.pathExtension();
    const qsizetype extensionBytes = extension.isEmpty() ? 0 : 1 + extension.toUtf8().size();
    for (qsizetype i = 0; i < levels.size(); ++i) {
        const bool last = i + 1 == levels.size();
        levels[i] = fitToBytes(levels[i], last ? std::max<qsizetype>(1, kMaxNameBytes - extensionBytes) : kMaxNameBytes);
    }

    const QString file = path::appendingComponent(documentsDirectory, levels.join(u'/'));
    const Url url = Url::fileURLWithPath(file).URLByAppendingPathExtension(extension);

    const QString folder = path::deletingLastComponent(url.path());
    if (!QFileInfo::exists(folder) && !QDir().mkpath(folder) && folderFailure) {
        // Name the folder that could not be made, and why.
        QString missing = folder;
        while (!QFileInfo::exists(path::deletingLastComponent(missing)) && missing != documentsDirectory)
            missing = path::deletingLastComponent(missing);
        const int result = ::mkdir(QFile::encodeName(missing).constData(), 0777);
        const int why = result == 0 ? 0 : errno;
        if (result == 0)
            ::rmdir(QFile::encodeName(missing).constData());
        *folderFailure = QStringLiteral("Could not create folder %1: %2")
                             .arg(missing, QString::fromLocal8Bit(std::strerror(why ? why : EIO)));
    }
    return url;
}

Url numberedOutputURL(const Url& url, int number)
{
    const QString extension = url.pathExtension();
    const QString stem = url.URLByDeletingPathExtension().path();
    const QString folder = path::deletingLastComponent(stem);
    const QString suffix = QStringLiteral(" (%1)").arg(number);
    const qsizetype reserved = suffix.toUtf8().size() + (extension.isEmpty() ? 0 : 1 + extension.toUtf8().size());
    const QString name = fitToBytes(path::lastComponent(stem), std::max<qsizetype>(1, kMaxNameBytes - reserved)) + suffix;
    const QString file = path::appendingComponent(folder, name);
    return Url::fileURLWithPath(extension.isEmpty() ? file : path::appendingExtension(file, extension));
}
