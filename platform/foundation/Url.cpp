#include "platform/foundation/Url.h"

#include "platform/foundation/PathString.h"

#include <QDir>

Url Url::fromString(const QString& text)
{
    QUrl u(text, QUrl::StrictMode);
    if (!u.isValid() || u.scheme().isEmpty())
        return Url();
    return Url(u);
}

Url Url::fileURLWithPath(const QString& p)
{
    if (p.isEmpty())
        return Url();
    return Url(QUrl::fromLocalFile(QDir::isAbsolutePath(p) ? p : QDir::current().absoluteFilePath(p)));
}

QString Url::path() const
{
    return isFileURL() ? url_.toLocalFile() : url_.path(QUrl::FullyDecoded);
}

QString Url::pathExtension() const
{
    return path::extension(path());
}

QString Url::lastPathComponent() const
{
    return path::lastComponent(path());
}

Url Url::withPath(const QString& newPath) const
{
    if (isFileURL())
        return Url(QUrl::fromLocalFile(newPath));
    QUrl copy = url_;
    copy.setPath(newPath, QUrl::DecodedMode);
    return Url(copy);
}

Url Url::URLByDeletingPathExtension() const
{
    if (isEmpty())
        return *this;
    return withPath(path::deletingExtension(path()));
}

Url Url::URLByAppendingPathExtension(const QString& ext) const
{
    if (isEmpty())
        return *this;
    return withPath(path::appendingExtension(path(), ext));
}

QString Url::absoluteString() const
{
    return url_.toString(QUrl::FullyEncoded);
}

size_t qHash(const Url& url, size_t seed) noexcept
{
    return qHash(url.qurl(), seed);
}
