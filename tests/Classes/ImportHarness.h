#pragma once
// Runs MediaImport workers the way their owner does and records what the
// completion block saw.

#include "Classes/MediaImport.h"
#include "platform/export/ExportService.h"
#include "platform/foundation/PathString.h"
#include "platform/foundation/TemporaryFiles.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <atomic>
#include <future>
#include <memory>
#include <thread>

namespace importharness {

struct Seen {
    int calls = 0;
    bool beforeImportReturned = false;
    bool onServiceThread = false;
    std::int32_t status = -1;
    std::optional<Error> error;
    bool destinationExisted = false;
    bool temporaryExisted = false; // a temporary file of the import, when the block ran
};

// The temporary files of this system's pattern in `folder`.
inline QStringList temporariesIn(const QString& folder)
{
    QStringList found;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (tempfiles::isTemporaryName(name))
            found.append(name);
    return found;
}

// Waits until every job queued so far on the export service has run, so that
// the handler of an ended export has let go of everything.
inline void drainExportService()
{
    std::promise<void> drained;
    exportservice::enqueue([&] { drained.set_value(); });
    drained.get_future().wait();
}

// One import from start to the end of its handler.
inline Seen runImport(const std::shared_ptr<MediaImport>& worker, const Url& asset, const Url& destination)
{
    auto seen = std::make_shared<Seen>();
    auto returned = std::make_shared<std::atomic<bool>>(false);
    auto done = std::make_shared<std::promise<void>>();
    const QString folder = path::deletingLastComponent(destination.path());
    // The service's thread is held while importAsset() runs, so a block called
    // from inside importAsset() shows as called before it returned.
    std::promise<void> release;
    exportservice::enqueue([gate = release.get_future().share()] { gate.wait(); });
    worker->importAsset(asset, destination, [=](const std::shared_ptr<MediaImport>& w) {
        seen->calls++;
        seen->beforeImportReturned = !returned->load();
        seen->onServiceThread = exportservice::isServiceThread();
        seen->status = w->status();
        seen->error = w->error();
        seen->destinationExisted = QFile::exists(destination.path());
        seen->temporaryExisted = !temporariesIn(folder).isEmpty();
        if (seen->calls == 1)
            done->set_value();
    });
    returned->store(true);
    release.set_value();
    done->get_future().wait();
    drainExportService();
    return *seen;
}

} // namespace importharness
