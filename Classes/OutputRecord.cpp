#include "Classes/OutputRecord.h"

#include "Classes/OutputNaming.h"
#include "platform/foundation/FileDescriptor.h"
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

// Whether anything (a file, a folder, a link) is at `path`. A name that
// cannot be looked at (a file where a folder should be) is free: writing
// there fails later, and says why.
bool somethingAt(const QString& path)
{
    struct stat info {};
    return ::lstat(path::native(path).constData(), &info) == 0;
}

// Whether `output` is `natural` or one of its numbered names; which one.
int familyNumber(const QString& output, const QString& natural)
{
    if (output == natural)
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
    return ok && number >= 2 && numberedOutputPath(natural, number) == output ? number : 0;
}

} // namespace

FileStamp stampOf(const QString& path, bool followLinks)
{
    struct stat info {};
    const QByteArray native = path::native(path);
    if ((followLinks ? ::stat(native.constData(), &info) : ::lstat(native.constData(), &info)) != 0 ||
        !S_ISREG(info.st_mode))
        return {};
    return {static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

OutputRecord OutputRecord::load(const QString& documentsDirectory)
{
    OutputRecord record;
    record.documentsDirectory_ = documentsDirectory;
    const QByteArray file = path::native(path::appendingComponent(documentsDirectory, fileName()));
    const FileDescriptor fd(::open(file.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    QByteArray text;
    if (fd && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode)) {
        text.resize(static_cast<qsizetype>(info.st_size));
        if (!fileio::readFully(fd.get(), text.data(), static_cast<std::size_t>(text.size())))
            text.clear(); // changed while read: as if there were none
    }
    if (!text.startsWith(kHeader))
        return record; // not a record, or one of a later kind: as if there were none

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
        const QString output = path::fromNative(QByteArray::fromPercentEncoding(fields[0]));
        entry.source = path::fromNative(QByteArray::fromPercentEncoding(fields[1]));
        if (output.isEmpty() || output.startsWith(u'/') || entry.source.isEmpty())
            continue;
        record.set(output, entry);
    }
    record.fileIsCompact_ = at == text.size() && lines == record.entries_.size();
    return record;
}

QString OutputRecord::absolute(const QString& output) const
{
    return path::appendingComponent(documentsDirectory_, output);
}

void OutputRecord::set(const QString& output, const Entry& entry)
{
    const auto previous = entries_.constFind(output);
    if (previous != entries_.constEnd() && previous->source != entry.source) {
        QStringList& outputs = outputsBySource_[previous->source];
        outputs.removeOne(output);
        if (outputs.isEmpty())
            outputsBySource_.remove(previous->source);
    }
    if (previous == entries_.constEnd() || previous->source != entry.source)
        outputsBySource_[entry.source].append(output);
    entries_.insert(output, entry);
}

bool OutputRecord::isOutputOf(const QString& output, const QString& source) const
{
    const auto it = entries_.constFind(output);
    return it != entries_.constEnd() && it->source == source;
}

QString OutputRecord::outputFor(const QString& source, const QString& natural) const
{
    // The name it had: the lowest of its own names in the family, as long as
    // nothing but a plain file (its output, or none) stands there now.
    int own = 0;
    for (const QString& output : outputsBySource_.value(source)) {
        const int number = familyNumber(output, natural);
        if (number == 0 || (own != 0 && number >= own))
            continue;
        struct stat info {};
        if (::lstat(path::native(absolute(output)).constData(), &info) != 0 || S_ISREG(info.st_mode))
            own = number;
    }
    if (own != 0)
        return own == 1 ? natural : numberedOutputPath(natural, own);

    // Else the first free name. Another song's output that is gone frees its
    // name; anything at a name, ours or not, keeps it taken.
    for (int number = 1;; ++number) {
        const QString candidate = number == 1 ? natural : numberedOutputPath(natural, number);
        if (!somethingAt(absolute(candidate)))
            return candidate;
    }
}

bool OutputRecord::isUpToDate(const QString& output, const QString& source, const FileStamp& sourceStamp) const
{
    const auto it = entries_.constFind(output);
    return it != entries_.constEnd() && it->source == source && it->outputStamp.isKnown() &&
           it->sourceStamp == sourceStamp && sourceStamp.isKnown() &&
           stampOf(absolute(output), false) == it->outputStamp;
}

void OutputRecord::claim(const QString& output, const QString& source, const FileStamp& sourceStamp)
{
    const Entry entry{source, sourceStamp, {}};
    set(output, entry);
    append(output, entry);
}

void OutputRecord::made(const QString& output, const QString& source, const FileStamp& sourceStamp,
                        const FileStamp& outputStamp)
{
    const Entry entry{source, sourceStamp, outputStamp};
    set(output, entry);
    append(output, entry);
}

QByteArray OutputRecord::lineFor(const QString& output, const Entry& entry)
{
    return escaped(path::native(output)) + '\t' + escaped(path::native(entry.source)) + '\t' +
           stampText(entry.sourceStamp) + '\t' + stampText(entry.outputStamp) + '\n';
}

void OutputRecord::append(const QString& output, const Entry& entry)
{
    fileIsCompact_ = false;
    const QByteArray line = lineFor(output, entry);
    // Never through a link at the record's name, nor into a file with other names.
    const QByteArray file = path::native(absolute(fileName()));
    const FileDescriptor fd(::open(file.constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    bool written = false;
    if (fd && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1) {
        // One write() of one line: appended whole, or (a full disk) in part,
        // and a part without its newline is passed over when read.
        const ssize_t n = ::write(fd.get(), line.constData(), static_cast<std::size_t>(line.size()));
        written = n == line.size();
    }
    if (!written)
        applog::debug("conversionLoop", QStringLiteral("Could not note %1 in %2").arg(output, fileName()));
}

bool OutputRecord::compact(QString* why)
{
    QStringList outputs;
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        if (stampOf(absolute(it.key()), false).isKnown())
            outputs.append(it.key());
    }
    if (fileIsCompact_ && outputs.size() == entries_.size())
        return true;
    outputs.sort();
    QByteArray text = kHeader;
    for (const QString& output : outputs)
        text += lineFor(output, entries_[output]);
    // What is gone is forgotten here too.
    QHash<QString, Entry> kept;
    outputsBySource_.clear();
    entries_.swap(kept);
    for (const QString& output : outputs)
        set(output, kept[output]);
    fileIsCompact_ = tempfiles::writeFileAtomically(absolute(fileName()), text, why);
    return fileIsCompact_;
}
