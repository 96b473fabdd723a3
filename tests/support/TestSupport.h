#pragma once
// Small helpers shared by the tests.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <mutex>
#include <ostream>

// Texts in failure messages as text, not as lists of 2-byte objects.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace testsupport {

// Collects the application's log lines while it lives. Captures may nest:
// each one alive gets every line.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;
    bool contains(const QString& line) const { return lines().contains(line); }
    void append(const QString& line);

private:
    mutable std::mutex mutex_;
    QStringList lines_;
};

// A fresh folder, removed with its content at the end of the test.
class TempDir {
public:
    TempDir();
    QString path() const { return dir_.path(); }
    QString file(const QString& relative) const { return dir_.filePath(relative); }

private:
    QTemporaryDir dir_;
};

// Keeps the platform's expected chatter off the test output until restored:
// Qt Multimedia's warnings without a sound server, the offscreen platform's
// "does not support raise()" and Qt's notes on the runtime folder. Anything
// else still reaches the previous handler.
void silencePlatformMessages();
void restorePlatformMessages();

bool writeFile(const QString& path, const QByteArray& content);

// error.log at `path` without its first line, which says when its run was:
// the failed songs' lines. Empty when there is no such file.
QByteArray errorLogEntries(const QString& path);

// Whether `fileName` is one of the documents folder's own hidden files (the
// runs' lock and the record of outputs), no stored file.
bool isFolderBookkeeping(const QString& fileName);
QByteArray readFile(const QString& path);

// Runs the event loop until `done` holds or `timeoutMs` has passed; returns `done()`.
bool processEventsUntil(const std::function<bool()>& done, int timeoutMs = 10000);

} // namespace testsupport
