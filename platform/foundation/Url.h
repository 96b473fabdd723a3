#pragma once
// A URL as the application passes it around: a file URL ("file:///…") or a
// library asset URL ("library://item/item.mp3?id=…"). Value type, cheap to copy.

#include <QString>
#include <QUrl>
#include <functional>

class Url {
public:
    Url() = default;
    explicit Url(const QUrl& url) : url_(url) {}

    // Parses a URL from its text form; an empty or malformed text gives an empty Url.
    static Url fromString(const QString& text);
    // The file URL of an absolute or relative file-system path.
    static Url fileURLWithPath(const QString& path);

    bool isEmpty() const { return url_.isEmpty(); }
    bool isFileURL() const { return url_.isLocalFile(); }
    QString scheme() const { return url_.scheme(); }
    QString query() const { return url_.query(QUrl::FullyDecoded); }

    // File-system path of a file URL, decoded path of any other URL.
    QString path() const;
    // Text after the last "." of the path's last component, without the ".".
    QString pathExtension() const;
    QString lastPathComponent() const;
    Url URLByDeletingPathExtension() const;
    Url URLByAppendingPathExtension(const QString& ext) const;

    // The URL's text form, percent-encoded where it must be.
    QString absoluteString() const;

    const QUrl& qurl() const { return url_; }

    friend bool operator==(const Url& a, const Url& b) { return a.url_ == b.url_; }
    friend bool operator!=(const Url& a, const Url& b) { return !(a == b); }

private:
    Url withPath(const QString& newPath) const;
    QUrl url_;
};

size_t qHash(const Url& url, size_t seed = 0) noexcept;

template <>
struct std::hash<Url> {
    size_t operator()(const Url& u) const noexcept { return qHash(u); }
};
