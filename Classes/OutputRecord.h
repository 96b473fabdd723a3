#pragma once
// The documents folder's memory of which song each output was made from: the
// hidden file ".ripwell-record" beside the outputs. With it a song is written
// to the same name run after run, a filtered run never takes another song's
// name, and a song whose output is there and unchanged need not be converted
// again. It is a plain text file, so it works on every file system (a FAT
// stick included), and it is only a memory: a lost or damaged record costs a
// conversion, never a file, because a file the record does not name is never
// replaced.
//
// The file starts with "ripwell-record 1", then one line an output:
//   output \t source \t source size \t source time \t output size \t output time
// The output is relative to the documents folder, the source an absolute
// path (its bytes as stored; "%", tab, CR and LF written as %XX); times are
// nanoseconds since 1970. An output whose size and time read "-" is claimed:
// a conversion of that source into it has begun. A later line for an output
// replaces an earlier one. A run rewrites the file whole at its start and
// end, and in between notes each output as it goes in a second file of the
// same form, ".ripwell-record-run", which the next rewrite folds in: a killed
// run loses nothing it finished. (The second file is written through the
// descriptor that created it and never renamed: FAT drivers such as fusefat
// lose writes through a descriptor whose file was renamed over, or refuse to
// lengthen a file opened anew.)
//
// Outputs are told apart as the destination tells names apart: two names that
// a case-insensitive file system takes for one (destination::comparable) are
// one output, whatever file system the folder is on. Every look at an output
// goes through the folder without following links (FolderWalk).
//
// Only the holder of the documents lock writes the record; anyone may read it.

#include "platform/foundation/Destination.h"
#include "platform/foundation/FolderWalk.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <mutex>

class OutputRecord {
public:
    static QString fileName() { return QStringLiteral(".ripwell-record"); }
    // The lines of the run under way, or of one that was killed.
    static QString runFileName() { return QStringLiteral(".ripwell-record-run"); }

    // Reads the record of `documentsDirectory`. A missing or unreadable record
    // reads as empty, and so does one that is not a record at all; a damaged
    // line is passed over.
    static OutputRecord load(const QString& documentsDirectory);

    // The output of the song at `source` whose name by its tags is `natural`
    // (relative to the documents folder): the name it had last time (`natural`
    // or `natural` with " (n)") while nothing stands there or its file there
    // may be replaced (mayReplace()), else the first of those names that is
    // free: nothing is there under any spelling that compares equal, and no
    // other song's output is. Its own output under `formerly` (the name an
    // earlier version gave it, or its family) counts as the name it had too.
    // Looks at the folder, writes nothing.
    QString outputFor(const QString& source, const QString& natural, const QString& formerly = QString()) const;

    // Whether `output` is noted as made from some song.
    bool contains(const QString& output) const { return entries_.contains(destination::comparable(output)); }

    // Whether the file at `output` may be replaced by a conversion of
    // `source`: the record says it was made from that song, and it is as it
    // was made (size, and time within what the file system keeps), or empty
    // (a conversion cut short, as when a stick is pulled), or not there.
    bool mayReplace(const QString& output, const QString& source) const;

    // Whether the file at `output` is the one made from `source`, as it was made.
    bool isOutputAsMade(const QString& output, const QString& source) const;

    // Whether `output` holds a conversion of `source` that is still good: it
    // was made from it, and neither it nor the song (now `sourceStamp`) has
    // changed since.
    bool isUpToDate(const QString& output, const QString& source, const FileStamp& sourceStamp) const;

    // Whether the record can be kept up to date by a run: it is a file this
    // process may write (or there is none yet), a whole rewrite can be put in
    // place and the run's lines can be noted. When not, `why` says what is in
    // the way. Writes the file anew (see compact()) and starts the file of the
    // run's lines.
    bool prepareForRun(QString* why);

    // The file of a run's lines, from prepareForRun() to the next compact().
    // An import notes its output there from the export service's thread,
    // once the whole file is on the disk and just before it takes its name,
    // so that no output is ever in place without the record's word for it.
    class RunFile {
    public:
        // Appends `line` and puts it on the disk; false when it could not.
        bool append(const QByteArray& line);

    private:
        friend class OutputRecord;
        std::mutex mutex_;
        FileDescriptor fd_;
        qint64 end_ = 0;
    };
    std::shared_ptr<RunFile> runFile() const { return runFile_; }

    // The line that says `output` was made from `source`, which had
    // `sourceStamp` when its conversion began, and is `outputStamp`.
    static QByteArray madeLine(const QString& output, const QString& source, const FileStamp& sourceStamp,
                               const FileStamp& outputStamp);

    // For the holder of the documents lock; each returns false when the line
    // could not be put on the disk (the record in this object is kept all the
    // same). `output` is about to be made from `source`.
    bool claim(const QString& output, const QString& source, const FileStamp& sourceStamp);
    // `output` was made from `source` (see madeLine()). The line is on the
    // disk when this returns true; with `noted`, it was put there already
    // (RunFile) and is only remembered here.
    bool made(const QString& output, const QString& source, const FileStamp& sourceStamp, const FileStamp& outputStamp,
              bool noted = false);
    // Rewrites the file whole (under a temporary name, flushed, then renamed
    // over it, so a link at its name is replaced, never followed), keeping the
    // outputs that are still there as they were made; an output whose file
    // has changed since is no longer Ripwell's, and is forgotten. The run's
    // lines are then folded in, and their file goes. Nothing is written when
    // the file holds just that already. Returns false and says why when it cannot.
    bool compact(QString* why = nullptr);

    // The folders (relative to the documents folder, "" for itself) that hold
    // an output the record knows, claimed ones included: where a run writes.
    QSet<QString> outputFolders() const;

    qsizetype size() const { return entries_.size(); }
    // Whether the file holds one line an output and nothing else (as far as
    // this object has seen): compact() then has only gone outputs to drop.
    bool isCompact() const { return fileIsCompact_; }
    const destination::Traits& traits() const { return traits_; }

private:
    struct Entry {
        QString output; // as spelled on disk
        QString source;
        FileStamp sourceStamp;
        FileStamp outputStamp; // unknown while only claimed
    };
    static QByteArray lineFor(const Entry& entry);
    // Reads the lines of a record's text into the entries; how many lines
    // there were, and whether the text ended with a whole line.
    qsizetype read(const QByteArray& text, bool* whole);
    void set(const Entry& entry);
    bool append(const Entry& entry);
    bool isKept(const Entry& entry) const;
    bool stampsMatch(const FileStamp& onDisk, const FileStamp& noted) const;

    QString documentsDirectory_;
    std::shared_ptr<FolderWalk> walk_;
    destination::Traits traits_;
    QHash<QString, Entry> entries_; // by the output's comparable form
    QHash<QString, QStringList> outputsBySource_; // comparable forms
    bool fileIsCompact_ = false; // the file holds exactly entries_, one line each
    std::shared_ptr<RunFile> runFile_; // open while a run goes on
};
