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
// replaces an earlier one, so a run appends as it goes (a killed run loses
// nothing it finished) and rewrites the file whole at its start and end.
//
// Only the holder of the documents lock writes the record; anyone may read it.

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>

// Size and modification time of a file, for the quick check of whether it
// changed (as rsync's): unknown when there is no regular file.
struct FileStamp {
    std::int64_t size = -1;
    std::int64_t modified = 0; // nanoseconds since 1970
    bool isKnown() const { return size >= 0; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of the regular file at `path`; links are followed only when asked.
FileStamp stampOf(const QString& path, bool followLinks);

class OutputRecord {
public:
    static QString fileName() { return QStringLiteral(".ripwell-record"); }

    // Reads the record of `documentsDirectory`. A missing or unreadable record
    // reads as empty, and so does one that is not a record at all; a damaged
    // line is passed over.
    static OutputRecord load(const QString& documentsDirectory);

    // The output of the song at `source` whose name by its tags is `natural`
    // (relative to the documents folder): the name it had last time (`natural`
    // or `natural` with " (n)"), else the first of those names that is free:
    // nothing is there and no other song's output was. Looks at the folder,
    // writes nothing.
    QString outputFor(const QString& source, const QString& natural) const;

    // Whether `output` is noted as made from some song.
    bool contains(const QString& output) const { return entries_.contains(output); }

    // Whether the file at `output` may be replaced by a conversion of
    // `source`: the record says it was made from that song.
    bool isOutputOf(const QString& output, const QString& source) const;

    // Whether `output` holds a conversion of `source` that is still good: it
    // was made from it, and neither it nor the song (now `sourceStamp`) has
    // changed since.
    bool isUpToDate(const QString& output, const QString& source, const FileStamp& sourceStamp) const;

    // For the holder of the documents lock. A line that cannot be appended is
    // only a lost memory: the record in this object is kept all the same.
    // `output` is about to be made from `source`.
    void claim(const QString& output, const QString& source, const FileStamp& sourceStamp);
    // `output` was made from `source`, which had `sourceStamp` when its
    // conversion began.
    void made(const QString& output, const QString& source, const FileStamp& sourceStamp, const FileStamp& outputStamp);
    // Rewrites the file whole (under a temporary name, then renamed over it,
    // so a link at its name is replaced, never followed), keeping the outputs
    // that are still there; nothing is written when the file holds just that
    // already. Returns false and says why when it cannot.
    bool compact(QString* why = nullptr);

    qsizetype size() const { return entries_.size(); }
    // Whether the file holds one line an output and nothing else (as far as
    // this object has seen): compact() then has only gone outputs to drop.
    bool isCompact() const { return fileIsCompact_; }

private:
    struct Entry {
        QString source;
        FileStamp sourceStamp;
        FileStamp outputStamp; // unknown while only claimed
    };
    static QByteArray lineFor(const QString& output, const Entry& entry);
    void set(const QString& output, const Entry& entry);
    void append(const QString& output, const Entry& entry);
    QString absolute(const QString& output) const;

    QString documentsDirectory_;
    QHash<QString, Entry> entries_;            // by output
    QHash<QString, QStringList> outputsBySource_;
    bool fileIsCompact_ = false; // the file holds exactly entries_, one line each
};
