#pragma once
// The lock a conversion run holds on its documents folder for its whole
// length, so that two runs (two processes, or the window app and the command
// line) never write into one folder at once. It is an advisory lock (flock)
// on the hidden file ".ripwell.lock" in the folder, which also names the
// process that holds it. The system drops the lock when that process ends,
// however it ends.
//
// Within one process the lock is shared: asking again for a folder this
// process holds gives the same lock, which lasts until its last holder lets go.

#include "platform/foundation/FileDescriptor.h"

#include <QString>
#include <functional>
#include <memory>

class DocumentsLock {
    struct Token {};

public:
    // Takes the lock on `folder` without waiting. Nothing when another process
    // holds it (then `holder` names that process, e.g. "ripwell-cli (process
    // 4242)") or when the lock file cannot be opened (then `holder` is empty
    // and `why` says why).
    static std::shared_ptr<DocumentsLock> tryAcquire(const QString& folder, QString* holder = nullptr,
                                                     QString* why = nullptr);

    // Takes the lock on `folder`, waiting while another process holds it:
    // `waiting` is called once, with the holder, when the wait begins, and
    // `stop` between tries (every 200 ms); when it returns true the wait ends
    // without the lock. Without `waiting`, nothing is waited for. Nothing,
    // with `holder` and `why` as for tryAcquire(), when the lock was not taken.
    static std::shared_ptr<DocumentsLock> acquire(const QString& folder, const std::function<void(const QString&)>& waiting,
                                                  const std::function<bool()>& stop, QString* holder = nullptr,
                                                  QString* why = nullptr);

    static QString lockFileName() { return QStringLiteral(".ripwell.lock"); }

    const QString& folder() const { return folder_; }

    DocumentsLock(Token, QString folder, FileDescriptor fd) : folder_(std::move(folder)), fd_(std::move(fd)) {}
    ~DocumentsLock();
    DocumentsLock(const DocumentsLock&) = delete;
    DocumentsLock& operator=(const DocumentsLock&) = delete;

private:
    QString folder_;
    FileDescriptor fd_;
};
