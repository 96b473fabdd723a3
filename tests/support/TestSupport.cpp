#include "tests/support/TestSupport.h"

#include "platform/foundation/Log.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <vector>

namespace testsupport {

QByteArray errorLogEntries(const QString& path)
{
    const QByteArray text = readFile(path);
    const qsizetype firstLineEnd = text.indexOf('\n');
    if (!text.startsWith("Ripwell conversion of ") || firstLineEnd < 0)
        return text;
    return text.mid(firstLineEnd + 1);
}

bool isFolderBookkeeping(const QString& fileName)
{
    return fileName == QLatin1String(".ripwell.lock") || fileName == QLatin1String(".ripwell-record") ||
           fileName == QLatin1String(".ripwell-record-run");
}

namespace {

// Every capture alive gets every line, so an inner capture neither steals
// lines from an outer one nor switches it off when it ends.
std::mutex g_capturesMutex;
std::vector<LogCapture*> g_captures;

} // namespace

LogCapture::LogCapture()
{
    bool first = false;
    {
        std::lock_guard lock(g_capturesMutex);
        g_captures.push_back(this);
        first = g_captures.size() == 1;
    }
    // Outside our lock: the log calls the sink under its own lock, and the
    // sink takes ours, so ours must never be held while the log's is taken.
    if (first) {
        applog::setSink([](const applog::Entry& entry) {
            const QString line = entry.line();
            std::lock_guard capturesLock(g_capturesMutex);
            for (LogCapture* capture : g_captures)
                capture->append(line);
        });
    }
}

LogCapture::~LogCapture()
{
    bool last = false;
    {
        std::lock_guard lock(g_capturesMutex);
        g_captures.erase(std::remove(g_captures.begin(), g_captures.end(), this), g_captures.end());
        last = g_captures.empty();
    }
    if (last)
        applog::setSink(nullptr);
}

void LogCapture::append(const QString& line)
{
    std::lock_guard lock(mutex_);
    lines_.append(line);
}

QStringList LogCapture::lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

TempDir::TempDir() : dir_(QDir::tempPath() + QStringLiteral("/ripwell-test-XXXXXX")) {}

namespace {
QtMessageHandler g_previousHandler = nullptr;
bool g_silenced = false;

void quietPlatform(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const bool expected = (context.category && QByteArray(context.category).startsWith("qt.multimedia"))
        || message.startsWith(QLatin1String("PulseAudioService"))
        || message.contains(QLatin1String("does not support raise()"))
        || message.startsWith(QLatin1String("QStandardPaths: "));
    if (!expected && g_previousHandler)
        g_previousHandler(type, context, message);
}
} // namespace

void silencePlatformMessages()
{
    if (g_silenced)
        return;
    g_silenced = true;
    g_previousHandler = qInstallMessageHandler(quietPlatform);
}

void restorePlatformMessages()
{
    if (!g_silenced)
        return;
    g_silenced = false;
    qInstallMessageHandler(g_previousHandler);
}

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
