#include "tests/support/TestSupport.h"

#include "platform/foundation/Log.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

namespace testsupport {

LogCapture::LogCapture()
{
    applog::setSink([this](const QString& line) {
        std::lock_guard lock(mutex_);
        lines_.append(line);
    });
}

LogCapture::~LogCapture()
{
    applog::setSink(nullptr);
}

QStringList LogCapture::lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

TempDir::TempDir() : dir_(QDir::tempPath() + QStringLiteral("/ripwell-test-XXXXXX")) {}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool processEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // Outside a running event loop, deleteLater() would wait for ever.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
    return true;
}

} // namespace testsupport
