#pragma once
// What a run of ripwell-cli is going to do, said before it does it (--dry-run),
// and the removal of the files of songs that are gone (--prune).

#include "Classes/OutputRecord.h"
#include "cli/CliOptions.h"
#include "cli/Selection.h"
#include "platform/library/MediaLibrary.h"

#include <QString>
#include <QStringList>

namespace cli {

// The files of the documents folder's record whose songs are no longer in
// `library` (at their place, nor moved elsewhere in it), as Ripwell made them
// and unchanged since; with filters, only those whose name ("Artist / Album /
// Title") holds every filter word.
QStringList outputsOfGoneSongs(const OutputRecord& record, const medialibrary::MediaLibrary& library,
                               const QStringList& filters);

// --dry-run: prints, for every song of `selection`, what a run would do with
// it (convert, convert again because it changed, up to date, left out and
// why) and the file it would write, then with --prune the files it would
// remove, then the counts. Reads the documents folder; writes nothing, not
// even the folder. The exit status.
int printPlan(const Selection& selection, const medialibrary::MediaLibrary& library, const QString& documents,
              const Options& options);

// --prune, for the holder of the documents lock: removes the files of
// outputsOfGoneSongs() and the folders Ripwell made that this leaves empty,
// says each one with --verbose, and notes it in the record. How many went;
// `failures` receives a line for each file that could not be removed.
int prune(const medialibrary::MediaLibrary& library, const QString& documents, const Options& options,
          QStringList* failures);

} // namespace cli
