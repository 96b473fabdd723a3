#pragma once
// Catches the URLs the application hands to the desktop for one scheme, for
// as long as it lives, instead of opening a browser.

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

namespace testsupport {

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(const QString& scheme) : scheme_(scheme) { QDesktopServices::setUrlHandler(scheme_, this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(scheme_); }

    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }

private:
    QString scheme_;
};

} // namespace testsupport
