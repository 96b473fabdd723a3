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
// The file starts with "ripwell-record 2", then one line an output:
//   output \t place \t song size \t song time \t song key \t output size \t output time
// The output is relative to the documents folder; the song is known by its
// place in its library (relative to the library's top) and by what it is
// (SongIdentity: size, time and content key), so that a library moved or
// mounted elsewhere, and a song moved or renamed in it, keeps its output.
// Texts are their bytes as stored ("%", tab, CR and LF written as %XX); times
// are nanoseconds since 1970. An output whose size and time read "-" is
// claimed: a conversion into it has begun. A line whose output ends in "/"
// (every other field "-") is a folder Ripwell made. A playlist Ripwell
// wrote has the playlist's name in place of the song's place, "0" for the
// song's size and time and "playlist" for its key. A later line for an
// output replaces an earlier one. A record of the earlier form
// ("ripwell-record 1", the song an absolute path, no key) is read too, and
// written in this form at the next run.
//
// A run rewrites the file whole at its start and end, and in between notes each output as it goes in a second file of the
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

#include "Classes/SongIdentity.h"
#include "platform/foundation/Destination.h"
#include "platform/foundation/FolderWalk.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class OutputRecord {
public:
    static QString fileName() { return QStringLiteral(".ripwell-record"); }
    // The lines of the run under way, or of one that was killed.
    static QString runFileName() { return QStringLiteral(".ripwell-record-run"); }

    // Reads the record of `documentsDirectory`. A missing or unreadable record
    // reads as empty, and so does one that is not a record at all; a damaged
    // line is passed over. With `libraryRoot`, the songs of a record of the
    // earlier form that lie in that library are known by their place in it.
    static OutputRecord load(const QString& documentsDirectory, const QString& libraryRoot = QString());

    // The output of `song` whose name by its tags is `natural` (relative to
    // the documents folder): the name it had last time (`natural` or
    // `natural` with " (n)") while nothing stands there or its file there may
    // be replaced (mayReplace()), else the first of those names that is free:
    // nothing is there under any spelling that compares equal, no other
    // song's output is, and it is not in `takenInRun` (comparable forms of
    // names a run has chosen so far, for a run that writes nothing). Its own
    // output under `formerly` (the name an earlier version gave it) counts as
    // the name it had too. Looks at the folder, writes nothing.
    QString outputFor(const SongIdentity& song, const QString& natural, const QString& formerly = QString(),
                      const QSet<QString>* takenInRun = nullptr) const;

    // Whether `output` is noted as made from some song.
    bool contains(const QString& output) const { return entries_.contains(destination::comparable(output)); }

    // Whether the song has an output in the record, under any name.
    bool hasOutputOf(const SongIdentity& song) const { return !ownOutputs(song).isEmpty(); }

    // Whether the file at `output` may be replaced by a conversion of `song`:
    // the record says it was made from that song, and it is as it was made
    // (size, and time within what the file system keeps), or empty (a
    // conversion cut short, as when a stick is pulled), or not there.
    bool mayReplace(const QString& output, const SongIdentity& song) const;

    // Whether the file at `output` is the one made from `song`, as it was made.
    bool isOutputAsMade(const QString& output, const SongIdentity& song) const;

    // Whether `output` holds a conversion of `song` that is still good: it
    // was made from it, and neither it nor the song (its content) has changed
    // since. The song may have moved in its library, or its library elsewhere.
    bool isUpToDate(const QString& output, const SongIdentity& song) const;

    // Whether the record can be kept up to date by a run: it is a file this
    // process may write (or there is none yet), the lines of a killed run can
    // be folded in and the run's lines can be noted. When not, `why` says what
    // is in the way. Writes the file anew when it holds more than it should
    // (see compact()), and starts the file of the run's lines.
    bool prepareForRun(QString* why);
    // The end of a run: its lines folded into the record (compact()), or,
    // when it noted none, their file taken away.
    bool finishRun(QString* why);

    // The file of a run's lines, from prepareForRun() to the next compact().
    // An import notes its output there from the export service's thread,
    // once the whole file is on the disk and just before it takes its name,
    // so that no output is ever in place without the record's word for it.
    class RunFile {
    public:
        // Appends `line` and (unless not `sync`) puts it on the disk; false
        // when it could not.
        bool append(const QByteArray& line, bool sync = true);

    private:
        friend class OutputRecord;
        std::mutex mutex_;
        FileDescriptor fd_;
        qint64 end_ = 0;
        QString folder_;          // the documents folder, which holds it
        bool nameOnDisk_ = false; // its name put on the disk, with its first line
    };
    std::shared_ptr<RunFile> runFile() const { return runFile_; }

    // The line that says `output` was made from `song`, as it was when its
    // conversion began, and is `outputStamp`.
    static QByteArray madeLine(const QString& output, const SongIdentity& song, const FileStamp& outputStamp);

    // For the holder of the documents lock; each returns false when the line
    // could not be put on the disk (the record in this object is kept all the
    // same). `output` is about to be made from `song`: the line is written,
    // not flushed by itself, as nothing takes that name before the made line
    // behind it is flushed, and that flush takes it along.
    bool claim(const QString& output, const SongIdentity& song);
    // `output` was made from `song` (see madeLine()). The line is on the disk
    // when this returns true; with `noted`, it was put there already
    // (RunFile) and is only remembered here.
    bool made(const QString& output, const SongIdentity& song, const FileStamp& outputStamp, bool noted = false);
    // `output`, up to date, is noted as made from `song` where and as it is
    // now: a song that moved in its library, or a library moved elsewhere,
    // is found by its place at the next run again.
    bool follow(const QString& output, const SongIdentity& song);
    // The folder `relative` was made by a run: --prune may take it away once
    // it is empty. Written like a claim: on the disk with the next made line.
    bool madeFolder(const QString& relative);

    // The outputs, as made and unchanged since, of the songs that are no
    // longer in the library whose songs are `librarySongs` (every song of it,
    // whatever a run selects): neither at their place nor anywhere else by
    // what they are. Sorted.
    QStringList outputsOfGoneSongs(const std::vector<SongIdentity>& librarySongs) const;
    // Removes the file `output` (as made, never through a link) and forgets
    // it, then the folders Ripwell made above it that this leaves empty;
    // false (and `why`) when it could not be removed.
    bool removeOutput(const QString& output, QString* why = nullptr);

    // Rewrites the file whole (under a temporary name, flushed, then renamed
    // over it, so a link at its name is replaced, never followed), keeping the
    // outputs that are still there as they were made; an output whose file
    // has changed since is no longer Ripwell's, and is forgotten. The run's
    // lines are then folded in, and their file goes. Nothing is written when
    // the file holds just that already. Returns false and says why when it cannot.
    bool compact(QString* why = nullptr);

    // The playlists a run writes, each known by its playlist's name: the
    // same as outputFor(), mayReplace(), claim(), madeLine() and made() for
    // a song. Only these tell a playlist's file as Ripwell's.
    QString playlistOutputFor(const QString& playlist, const QString& natural,
                              const QSet<QString>* takenInRun = nullptr) const;
    bool mayReplacePlaylist(const QString& output, const QString& playlist) const;
    bool isPlaylistAsMade(const QString& output, const QString& playlist) const;
    bool claimPlaylist(const QString& output, const QString& playlist);
    static QByteArray playlistMadeLine(const QString& output, const QString& playlist, const FileStamp& outputStamp);
    bool playlistMade(const QString& output, const QString& playlist, const FileStamp& outputStamp, bool noted = false);

    // The folders (relative to the documents folder, "" for itself) that hold
    // an output the record knows, claimed ones included: where a run writes.
    QSet<QString> outputFolders() const;

    qsizetype size() const { return entries_.size(); }
    // Whether the file holds one line an output and nothing else (as far as
    // this object has seen): compact() then has only gone outputs to drop.
    bool isCompact() const { return fileIsCompact_; }
    const destination::Traits& traits() const { return traits_; }

private:
    QString firstFreeName(const QString& natural, const QStringList& own, const QSet<QString>* takenInRun) const;
    struct Entry {
        QString output;        // as spelled on disk; a folder's ends in "/"
        QString place;         // the song's; an absolute path in a record of the earlier form
        FileStamp songStamp;   // the song's when its conversion began
        QByteArray key;        // the song's content key; empty in a record of the earlier form
        FileStamp outputStamp; // unknown while only claimed
        bool isFolder() const { return output.endsWith(u'/'); }
        bool isPlaylist() const { return key == playlistKey(); } // `place` is the playlist's name
    };
    static QByteArray playlistKey() { return QByteArrayLiteral("playlist"); }
    static Entry playlistEntryFor(const QString& output, const QString& playlist, const FileStamp& outputStamp);
    // Whether the file at the entry's output may be replaced by what it was made from.
    bool isReplaceable(const Entry& entry) const;
    static QByteArray lineFor(const Entry& entry);
    static Entry entryFor(const QString& output, const SongIdentity& song, const FileStamp& outputStamp);
    // Reads the lines of a record's text into the entries; how many lines
    // there were, and whether the text ended with a whole line.
    qsizetype read(const QByteArray& text, bool* whole);
    void set(const Entry& entry);
    void forget(const QString& key);
    bool append(const Entry& entry, bool sync = true);
    bool isKept(const Entry& entry) const;
    bool stampsMatch(const FileStamp& onDisk, const FileStamp& noted) const;
    // The comparable forms of the outputs that are `song`'s: those of its
    // place, else (a song that moved) those of a song of the same content
    // whose place holds no song any more.
    QStringList ownOutputs(const SongIdentity& song) const;
    // Whether the entry's song is `song` as it was then (not changed since).
    bool isSameContent(const Entry& entry, const SongIdentity& song) const;
    bool isAsMade(const Entry& entry) const;

    QString documentsDirectory_;
    QString libraryRoot_;
    std::shared_ptr<FolderWalk> walk_;
    destination::Traits traits_;
    QHash<QString, Entry> entries_;        // by the output's comparable form
    QHash<QString, QStringList> byPlace_;  // comparable forms of outputs, by their song's place
    QHash<QByteArray, QStringList> byKey_; // the same, by their song's content key
    QHash<QPair<qint64, qint64>, QStringList> byStampOnly_; // those of the earlier form, by their song's size and time
    QHash<QString, QStringList> byPlaylist_; // comparable forms of playlists' files, by their playlist's name
    bool fileIsCompact_ = false; // the file holds exactly entries_, one line each
    std::shared_ptr<RunFile> runFile_; // open while a run goes on
};
