#include "Classes/OutputRecord.h"

#include "Classes/OutputNaming.h"
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

const QByteArray kHeader = "ripwell-record 1\n";

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

// Whether `output` is `natural` or one of its numbered names, as names are
// compared; which one.
int familyNumber(const QString& output, const QString& natural)
{
    const QString wanted = destination::comparable(output);
    if (wanted == destination::comparable(natural))
        return 1;
    // "Title (12).mp3": the number sits just before the extension.
    const QString stem = path::extension(output).isEmpty() ? output : path::deletingExtension(output);
    if (!stem.endsWith(u')'))
        return 0;
    const qsizetype open = stem.lastIndexOf(QStringLiteral(" ("));
    if (open < 0)
        return 0;
    bool ok = false;
    const int number = stem.mid(open + 2, stem.size() - open - 3).toInt(&ok);
    return ok && number >= 2 && destination::comparable(numberedOutputPath(natural, number)) == wanted ? number : 0;
}

} // namespace


namespace {

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

OutputRecord OutputRecord::load(const QString& documentsDirectory)
{
    OutputRecord record;
    record.documentsDirectory_ = documentsDirectory;
    record.traits_ = destination::traitsOf(documentsDirectory);
    record.walk_ = std::make_shared<FolderWalk>(documentsDirectory, record.traits_.windowsNames);
    bool whole = false;
    const qsizetype lines = record.read(contentOf(documentsDirectory, fileName()), &whole);
    record.fileIsCompact_ = whole && lines == record.entries_.size();
    // What a run noted after the last rewrite comes last.
    bool runWhole = false;
    if (record.read(contentOf(documentsDirectory, runFileName()), &runWhole) > 0 || !runWhole)
        record.fileIsCompact_ = false;
    return record;
}

qsizetype OutputRecord::read(const QByteArray& text, bool* whole)
{
    *whole = text.isEmpty();
    if (!text.startsWith(kHeader))
        return 0; // not a record, or one of a later kind: as if there were none

    // Only whole lines count: a run killed while appending leaves half of one.
    qsizetype at = kHeader.size();
    qsizetype lines = 0;
    for (qsizetype end = text.indexOf('\n', at); end >= 0; at = end + 1, end = text.indexOf('\n', at)) {
        ++lines;
        const QList<QByteArray> fields = text.mid(at, end - at).split('\t');
        if (fields.size() != 6)
            continue;
        Entry entry;
        if (!parseStamp(fields[2], fields[3], &entry.sourceStamp) || !entry.sourceStamp.isKnown() ||
            !parseStamp(fields[4], fields[5], &entry.outputStamp))
            continue;
        entry.output = path::fromNative(QByteArray::fromPercentEncoding(fields[0]));
        entry.source = path::fromNative(QByteArray::fromPercentEncoding(fields[1]));
        if (entry.output.isEmpty() || entry.output.startsWith(u'/') || entry.source.isEmpty())
            continue;
        set(entry);
    }
    *whole = at == text.size();
    return lines;
}

void OutputRecord::set(const Entry& entry)
{
    const QString key = destination::comparable(entry.output);
    const auto previous = entries_.constFind(key);
    if (previous != entries_.constEnd() && previous->source != entry.source) {
        QStringList& outputs = outputsBySource_[previous->source];
        outputs.removeOne(key);
        if (outputs.isEmpty())
            outputsBySource_.remove(previous->source);
    }
    if (previous == entries_.constEnd() || previous->source != entry.source)
        outputsBySource_[entry.source].append(key);
    entries_.insert(key, entry);
}

bool OutputRecord::stampsMatch(const FileStamp& onDisk, const FileStamp& noted) const
{
    return onDisk.isKnown() && noted.isKnown() && onDisk.size == noted.size &&
           destination::sameTime(onDisk.modified, noted.modified, traits_);
}

bool OutputRecord::mayReplace(const QString& output, const QString& source) const
{
    const auto it = entries_.constFind(destination::comparable(output));
    if (it == entries_.constEnd() || it->source != source)
        return false;
    const FolderWalk::Found found = walk_->find(output);
    if (found.kind == FolderWalk::Kind::Nothing)
        return true;
    // An empty file holds nothing of anybody's: what a conversion cut short
    // by a pulled stick leaves.
    return found.kind == FolderWalk::Kind::File &&
           (found.stamp.size == 0 || stampsMatch(found.stamp, it->outputStamp));
}

QString OutputRecord::outputFor(const QString& source, const QString& natural, const QString& formerly) const
{
    // The name it had: the lowest of its own names in the family, as long as
    // nothing stands there or what does is its output as it was made.
    int own = 0;
    QString ownName;
    for (const QString& key : outputsBySource_.value(source)) {
        const Entry& entry = entries_[key];
        int number = familyNumber(entry.output, natural);
        if (number == 0 && !formerly.isEmpty())
            number = familyNumber(entry.output, formerly);
        if (number == 0 || (own != 0 && number >= own))
            continue;
        if (mayReplace(entry.output, source)) {
            own = number;
            ownName = entry.output;
        }
    }
    if (own != 0)
        return ownName;

    // Else the first free name. Another song's output that is gone frees its
    // name; anything at a name, ours or not, under any spelling that compares
    // equal, keeps it taken.
    for (int number = 1;; ++number) {
        const QString candidate = number == 1 ? natural : numberedOutputPath(natural, number);
        if (walk_->isTaken(candidate))
            continue;
        const auto other = entries_.constFind(destination::comparable(candidate));
        if (other != entries_.constEnd() && other->source != source &&
            walk_->find(other->output).kind != FolderWalk::Kind::Nothing)
            continue;
        return candidate;
    }
}

bool OutputRecord::isOutputAsMade(const QString& output, const QString& source) const
{
    const auto it = entries_.constFind(destination::comparable(output));
    if (it == entries_.constEnd() || it->source != source)
        return false;
    const FolderWalk::Found found = walk_->find(output);
    return found.kind == FolderWalk::Kind::File && stampsMatch(found.stamp, it->outputStamp);
}

bool OutputRecord::isUpToDate(const QString& output, const QString& source, const FileStamp& sourceStamp) const
{
    const auto it = entries_.constFind(destination::comparable(output));
    return it != entries_.constEnd() && sourceStamp.isKnown() && it->sourceStamp == sourceStamp &&
           isOutputAsMade(output, source);
}

bool OutputRecord::claim(const QString& output, const QString& source, const FileStamp& sourceStamp)
{
    const Entry entry{output, source, sourceStamp, {}};
    set(entry);
    return append(entry);
}

bool OutputRecord::made(const QString& output, const QString& source, const FileStamp& sourceStamp,
                        const FileStamp& outputStamp, bool noted)
{
    const Entry entry{output, source, sourceStamp, outputStamp};
    set(entry);
    if (noted) {
        fileIsCompact_ = false;
        return true;
    }
    return append(entry);
}

QByteArray OutputRecord::madeLine(const QString& output, const QString& source, const FileStamp& sourceStamp,
                                  const FileStamp& outputStamp)
{
    return lineFor({output, source, sourceStamp, outputStamp});
}

bool OutputRecord::RunFile::append(const QByteArray& line)
{
    // One write of one line at the end: written whole, or (a full disk) in
    // part, and a part without its newline is passed over when read. It is
    // on the disk before anything goes on, so a stick pulled right after
    // holds what the run did.
    const std::lock_guard lock(mutex_);
    const bool written = fd_ && ::pwrite(fd_.get(), line.constData(), static_cast<std::size_t>(line.size()), end_) == line.size() &&
                         ::fdatasync(fd_.get()) == 0;
    if (written)
        end_ += line.size();
    return written;
}

QByteArray OutputRecord::lineFor(const Entry& entry)
{
    return escaped(path::native(entry.output)) + '\t' + escaped(path::native(entry.source)) + '\t' +
           stampText(entry.sourceStamp) + '\t' + stampText(entry.outputStamp) + '\n';
}

bool OutputRecord::append(const Entry& entry)
{
    fileIsCompact_ = false;
    const bool written = runFile_ && runFile_->append(lineFor(entry));
    if (!written)
        applog::debug("conversionLoop", QStringLiteral("Could not note %1 in %2").arg(entry.output, runFileName()));
    return written;
}

bool OutputRecord::isKept(const Entry& entry) const
{
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
    outputsBySource_.clear();
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
    // Written anew; then the run's lines go into a file of their own, made
    // here and kept open.
    fileIsCompact_ = false;
    if (problem.isEmpty() && compact(&problem)) {
        const QByteArray run = path::native(path::appendingComponent(documentsDirectory_, runFileName()));
        auto runFile = std::make_shared<RunFile>();
        runFile->fd_.reset(::open(run.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!runFile->fd_ || !fileio::writeFully(runFile->fd_.get(), kHeader.constData(), std::size_t(kHeader.size())) ||
            ::fdatasync(runFile->fd_.get()) != 0 || !tempfiles::syncFolder(documentsDirectory_)) {
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

QSet<QString> OutputRecord::outputFolders() const
{
    QSet<QString> folders;
    for (const Entry& entry : entries_)
        folders.insert(path::deletingLastComponent(entry.output));
    return folders;
}
