// The record's file: reading it, the lines of a run, rewriting it whole.
#include "Classes/OutputRecord.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PathString.h"
#include "platform/foundation/TemporaryFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kHeader = "ripwell-record 2\n";
const QByteArray kEarlierHeader = "ripwell-record 1\n";

QByteArray escaped(const QByteArray& bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r')
            out += '%' + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0').toUpper();
        else
            out += c;
    }
    return out;
}

QByteArray stampText(const FileStamp& stamp)
{
    if (!stamp.isKnown())
        return "-\t-";
    return QByteArray::number(static_cast<qint64>(stamp.size)) + '\t' + QByteArray::number(static_cast<qint64>(stamp.modified));
}

bool parseStamp(const QByteArray& size, const QByteArray& modified, FileStamp* stamp)
{
    if (size == "-" && modified == "-") {
        *stamp = {};
        return true;
    }
    bool sizeOk = false, timeOk = false;
    stamp->size = size.toLongLong(&sizeOk);
    stamp->modified = modified.toLongLong(&timeOk);
    return sizeOk && timeOk && stamp->size >= 0;
}

QString unescapedPath(const QByteArray& field)
{
    return path::fromNative(QByteArray::fromPercentEncoding(field));
}

// The whole content of the file `name` in `folder`, never through a link;
// empty when there is none or it changed while read.
QByteArray contentOf(const QString& folder, const QString& name)
{
    const QByteArray file = path::native(path::appendingComponent(folder, name));
    const FileDescriptor fd(::open(file.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    QByteArray text;
    if (fd && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode)) {
        text.resize(static_cast<qsizetype>(info.st_size));
        if (!fileio::readFully(fd.get(), text.data(), static_cast<std::size_t>(text.size())))
            text.clear();
    }
    return text;
}

} // namespace

OutputRecord OutputRecord::load(const QString& documentsDirectory, const QString& libraryRoot)
{
    OutputRecord record;
    record.documentsDirectory_ = documentsDirectory;
    record.libraryRoot_ = path::standardizedSlashes(libraryRoot);
    record.traits_ = destination::traitsOf(documentsDirectory);
    record.walk_ = std::make_shared<FolderWalk>(documentsDirectory, record.traits_.windowsNames);
    bool whole = false;
    const QByteArray text = contentOf(documentsDirectory, fileName());
    const qsizetype lines = record.read(text, &whole);
    // One of the earlier form is written anew in this one.
    record.fileIsCompact_ = whole && lines == record.entries_.size() && !text.startsWith(kEarlierHeader);
    // What a run noted after the last rewrite comes last.
    bool runWhole = false;
    if (record.read(contentOf(documentsDirectory, runFileName()), &runWhole) > 0 || !runWhole)
        record.fileIsCompact_ = false;
    return record;
}

qsizetype OutputRecord::read(const QByteArray& text, bool* whole)
{
    *whole = text.isEmpty();
    const bool earlier = text.startsWith(kEarlierHeader);
    if (!earlier && !text.startsWith(kHeader))
        return 0; // not a record, or one of a later kind: as if there were none

    // Only whole lines count: a run killed while appending leaves half of one.
    const QString top = libraryRoot_ + u'/';
    qsizetype at = kHeader.size();
    qsizetype lines = 0;
    for (qsizetype end = text.indexOf('\n', at); end >= 0; at = end + 1, end = text.indexOf('\n', at)) {
        ++lines;
        const QList<QByteArray> fields = text.mid(at, end - at).split('\t');
        if (fields.size() != (earlier ? 6 : 7))
            continue;
        Entry entry;
        entry.output = unescapedPath(fields[0]);
        // Only names inside the documents folder: nothing that climbs out.
        const QStringList levels = entry.output.split(u'/');
        if (entry.output.isEmpty() || entry.output.startsWith(u'/') ||
            std::any_of(levels.cbegin(), levels.cend() - (entry.isFolder() ? 1 : 0),
                        [](const QString& l) { return l.isEmpty() || l == u"." || l == u".."; }))
            continue;
        if (entry.isFolder()) {
            set(entry);
            continue;
        }
        const int out = earlier ? 4 : 5;
        if (!parseStamp(fields[2], fields[3], &entry.songStamp) || !entry.songStamp.isKnown() ||
            !parseStamp(fields[out], fields[out + 1], &entry.outputStamp))
            continue;
        entry.place = unescapedPath(fields[1]);
        if (!earlier && fields[4] != "-")
            entry.key = fields[4];
        // The earlier form kept the song's absolute path: in this library,
        // that is its place there.
        if (earlier && !libraryRoot_.isEmpty() && entry.place.startsWith(top))
            entry.place = entry.place.mid(top.size());
        if (entry.place.isEmpty() && !entry.isPlaylist())
            continue;
        set(entry);
    }
    *whole = at == text.size();
    return lines;
}

void OutputRecord::set(const Entry& entry)
{
    const QString output = destination::comparable(entry.output);
    forget(output);
    entries_.insert(output, entry);
    if (entry.isFolder())
        return;
    if (entry.isPlaylist()) {
        byPlaylist_[entry.place].append(output);
        return;
    }
    byPlace_[entry.place].append(output);
    if (!entry.key.isEmpty())
        byKey_[entry.key].append(output);
    else
        byStampOnly_[{entry.songStamp.size, entry.songStamp.modified}].append(output);
}

void OutputRecord::forget(const QString& output)
{
    const auto previous = entries_.constFind(output);
    if (previous == entries_.constEnd())
        return;
    const auto drop = [&output](auto& index, const auto& by) {
        auto it = index.find(by);
        if (it != index.end() && (it->removeOne(output), it->isEmpty()))
            index.erase(it);
    };
    if (previous->isPlaylist()) {
        drop(byPlaylist_, previous->place);
    } else if (!previous->isFolder()) {
        drop(byPlace_, previous->place);
        if (!previous->key.isEmpty())
            drop(byKey_, previous->key);
        else
            drop(byStampOnly_, QPair<qint64, qint64>(previous->songStamp.size, previous->songStamp.modified));
    }
    entries_.erase(previous);
}

OutputRecord::Entry OutputRecord::entryFor(const QString& output, const SongIdentity& song, const FileStamp& outputStamp)
{
    return {output, song.place(), song.stamp(), song.key(), outputStamp};
}

QByteArray OutputRecord::lineFor(const Entry& entry)
{
    if (entry.isFolder())
        return escaped(path::native(entry.output)) + "\t-\t-\t-\t-\t-\t-\n";
    return escaped(path::native(entry.output)) + '\t' + escaped(path::native(entry.place)) + '\t' +
           stampText(entry.songStamp) + '\t' + (entry.key.isEmpty() ? QByteArray("-") : entry.key) + '\t' +
           stampText(entry.outputStamp) + '\n';
}

QByteArray OutputRecord::madeLine(const QString& output, const SongIdentity& song, const FileStamp& outputStamp)
{
    return lineFor(entryFor(output, song, outputStamp));
}

bool OutputRecord::claim(const QString& output, const SongIdentity& song)
{
    const Entry entry = entryFor(output, song, {});
    set(entry);
    return append(entry, false);
}

bool OutputRecord::made(const QString& output, const SongIdentity& song, const FileStamp& outputStamp, bool noted)
{
    const Entry entry = entryFor(output, song, outputStamp);
    set(entry);
    if (noted) {
        fileIsCompact_ = false;
        return true;
    }
    return append(entry);
}

bool OutputRecord::follow(const QString& output, const SongIdentity& song)
{
    const auto it = entries_.constFind(destination::comparable(output));
    if (it == entries_.constEnd())
        return false;
    if (song.place() == it->place && song.stamp() == it->songStamp)
        return true; // nothing new, and the song's content not read for it
    Entry entry = entryFor(it->output, song, it->outputStamp);
    set(entry);
    // Only a memory of where the song is now: lost, it costs a look at the
    // song's content next time. The next line put on the disk takes it along.
    return append(entry, false);
}

bool OutputRecord::madeFolder(const QString& relative)
{
    const Entry entry{path::standardizedSlashes(relative) + u'/', {}, {}, {}, {}};
    set(entry);
    return append(entry, false);
}

bool OutputRecord::RunFile::append(const QByteArray& line, bool sync)
{
    // One write of one line at the end: written whole, or (a full disk) in
    // part, and a part without its newline is passed over when read. It is
    // on the disk before anything goes on, so a stick pulled right after
    // holds what the run did.
    const std::lock_guard lock(mutex_);
    const bool written = fd_ && ::pwrite(fd_.get(), line.constData(), static_cast<std::size_t>(line.size()), end_) == line.size() &&
                         (!sync || ::fdatasync(fd_.get()) == 0);
    if (written)
        end_ += line.size();
    // The file is made without a flush (a run that notes nothing costs no
    // wait); its first line on the disk takes its name there too.
    if (written && sync && !nameOnDisk_)
        nameOnDisk_ = tempfiles::syncFolder(folder_);
    return written && (!sync || nameOnDisk_);
}

bool OutputRecord::append(const Entry& entry, bool sync)
{
    fileIsCompact_ = false;
    const bool written = runFile_ && runFile_->append(lineFor(entry), sync);
    if (!written)
        applog::debug("conversionLoop", QStringLiteral("Could not note %1 in %2").arg(entry.output, runFileName()));
    return written;
}

bool OutputRecord::isKept(const Entry& entry) const
{
    if (entry.isFolder())
        return walk_->find(entry.output.chopped(1)).kind == FolderWalk::Kind::Folder;
    const FolderWalk::Found found = walk_->find(entry.output);
    return found.kind == FolderWalk::Kind::File &&
           (found.stamp.size == 0 || stampsMatch(found.stamp, entry.outputStamp));
}

bool OutputRecord::compact(QString* why)
{
    QStringList keys;
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        if (isKept(it.value()))
            keys.append(it.key());
    }
    if (fileIsCompact_ && keys.size() == entries_.size())
        return true;
    QHash<QString, Entry> kept;
    byPlace_.clear();
    byKey_.clear();
    byStampOnly_.clear();
    byPlaylist_.clear();
    entries_.swap(kept);
    QList<Entry> lines;
    for (const QString& key : keys) {
        set(kept[key]);
        lines.append(kept[key]);
    }
    std::sort(lines.begin(), lines.end(), [](const Entry& a, const Entry& b) { return a.output < b.output; });
    QByteArray text = kHeader;
    for (const Entry& entry : lines)
        text += lineFor(entry);
    // What is gone or changed is forgotten here too.
    fileIsCompact_ = tempfiles::writeFileAtomically(path::appendingComponent(documentsDirectory_, fileName()), text, why);
    if (fileIsCompact_) {
        // Every line of the run is in the record now.
        runFile_.reset();
        const FileDescriptor top(::open(path::native(documentsDirectory_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat info {};
        const QByteArray run = path::native(runFileName());
        if (top && ::fstatat(top.get(), run.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode))
            ::unlinkat(top.get(), run.constData(), 0);
    }
    return fileIsCompact_;
}

bool OutputRecord::prepareForRun(QString* why)
{
    QString problem;
    for (const QString& name : {fileName(), runFileName()}) {
        const FolderWalk::Found found = walk_->find(name);
        if (found.kind == FolderWalk::Kind::File) {
            // The user's say: a record made read-only is not replaced.
            const QByteArray file = path::native(path::appendingComponent(documentsDirectory_, name));
            const FileDescriptor fd(::open(file.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
            if (!fd)
                problem = QString::fromLocal8Bit(std::strerror(errno));
        } else if (found.kind == FolderWalk::Kind::Folder) {
            problem = L("a folder has its name");
        }
        // Anything else there (a link) is replaced by the rewrite, never followed.
        if (!problem.isEmpty())
            break;
    }
    // What a killed run noted is folded in; then the run's lines go into a
    // file of their own, made here and kept open.
    if (problem.isEmpty() && compact(&problem)) {
        const QByteArray run = path::native(path::appendingComponent(documentsDirectory_, runFileName()));
        ::unlink(run.constData()); // a killed run's, empty (its lines would have made the record not compact)
        auto runFile = std::make_shared<RunFile>();
        runFile->folder_ = documentsDirectory_;
        runFile->fd_.reset(::open(run.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!runFile->fd_ || !fileio::writeFully(runFile->fd_.get(), kHeader.constData(), std::size_t(kHeader.size()))) {
            problem = QStringLiteral("%1: %2").arg(runFileName(), QString::fromLocal8Bit(std::strerror(errno)));
        } else {
            runFile->end_ = kHeader.size();
            runFile_ = std::move(runFile);
        }
    }
    if (why)
        *why = problem;
    return problem.isEmpty();
}

bool OutputRecord::finishRun(QString* why)
{
    if (!fileIsCompact_)
        return compact(why);
    if (runFile_) {
        runFile_.reset();
        ::unlink(path::native(path::appendingComponent(documentsDirectory_, runFileName())).constData());
    }
    return true;
}

QSet<QString> OutputRecord::outputFolders() const
{
    QSet<QString> folders;
    for (const Entry& entry : entries_)
        folders.insert(entry.isFolder() ? entry.output.chopped(1) : path::deletingLastComponent(entry.output));
    return folders;
}
