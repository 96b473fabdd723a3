#include "platform/foundation/Log.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace applog {

namespace {
std::mutex g_mutex;
Sink g_sink;
bool g_sinkAlsoStderr = true;
bool g_stderrEnabled = true;

QString processName()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationName();
    return QStringLiteral("ripwell");
}
} // namespace

QString formatLine(Level level, const char* operation, const QString& message)
{
    const char* tag = level == Level::Debug ? "[DEBUG]" : "[ERROR]";
    return QStringLiteral("%1 [%2] %3").arg(QLatin1String(tag), QString::fromUtf8(operation), message);
}

void write(Level level, const char* operation, const QString& message)
{
    const Entry entry{level, operation, message};
    std::lock_guard lock(g_mutex);
    if (g_sink)
        g_sink(entry);
    if (g_stderrEnabled && (!g_sink || g_sinkAlsoStderr)) {
        const QString line = entry.line();
        const QString prefixed = QStringLiteral("%1 %2[%3] %4")
                                     .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                                          processName())
                                     .arg(static_cast<qint64>(::getpid()))
                                     .arg(line);
        const QByteArray bytes = prefixed.toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fflush(stderr);
    }
}

void setSink(Sink sink, bool alsoStderr)
{
    std::lock_guard lock(g_mutex);
    g_sink = std::move(sink);
    g_sinkAlsoStderr = alsoStderr;
}

void setStderrEnabled(bool enabled)
{
    std::lock_guard lock(g_mutex);
    g_stderrEnabled = enabled;
}

} // namespace applog
