#pragma once
// Runs MediaImport workers the way their owner does and records what the
// completion block saw.

#include "Classes/MediaImport.h"
#include "platform/export/ExportService.h"

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
    std::shared_ptr<const ExportError> error;
    bool destinationExisted = false;
    bool movieExisted = false;
};

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
    const QString movie = MediaImport::temporaryMovieURL(destination).path();
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
        seen->movieExisted = QFile::exists(movie);
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
