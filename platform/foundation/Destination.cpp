#include "platform/foundation/Destination.h"

#include "platform/foundation/PathString.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <sys/vfs.h>

namespace destination {

namespace {

constexpr std::int64_t kSecond = 1000000000;

// statfs's f_type of the file systems that matter here (linux/magic.h).
constexpr unsigned long kMsdos = 0x4d44;
constexpr unsigned long kExfat = 0x2011BAB0;
constexpr unsigned long kNtfs = 0x5346544e;
constexpr unsigned long kNtfs3 = 0x7366746e;
constexpr unsigned long kCifs = 0xFF534D42;
constexpr unsigned long kSmb2 = 0xFE534D42;
constexpr unsigned long kSmb = 0x517B;
constexpr unsigned long kFuse = 0x65735546;

// A mount point as /proc/self/mountinfo writes it: space, tab, newline and
// backslash as octal escapes.
QByteArray unescapedMountField(const QByteArray& field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += char(code);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

// The type the mount table gives the mount that holds `canonical` (the
// longest mount point above it; the last one mounted where several share it).
QString mountTypeOf(const QByteArray& canonical)
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    QByteArray bestPoint;
    QString bestType;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 5 || separator < 0 || separator + 1 >= fields.size())
            continue;
        const QByteArray point = unescapedMountField(fields[4]);
        const bool above = point == "/" || canonical == point || canonical.startsWith(point + '/');
        if (above && point.size() >= bestPoint.size()) {
            bestPoint = point;
            bestType = QString::fromUtf8(fields[separator + 1]);
        }
    }
    return bestType;
}

Traits fatFamily(const QString& name)
{
    return {name, true, 2 * kSecond, true};
}

} // namespace

Traits traitsOf(const QString& folder)
{
    struct statfs info {};
    if (::statfs(path::native(folder).constData(), &info) != 0)
        return {};
    switch (static_cast<unsigned long>(info.f_type)) {
    case kMsdos:
        return fatFamily(QStringLiteral("vfat"));
    case kExfat:
        return fatFamily(QStringLiteral("exfat"));
    case kNtfs:
    case kNtfs3:
        return {QStringLiteral("ntfs"), true, 1000, false}; // NTFS keeps 100 ns
    case kCifs:
    case kSmb2:
    case kSmb:
        // A Windows share: its names are Windows', its disk may be anything.
        return {QStringLiteral("cifs"), true, 2 * kSecond, false};
    case kFuse: {
        // FUSE tells its drivers apart only in the mount table: fusefat is
        // "fuse.fusefat"; exfat-fuse and ntfs-3g mount a block device,
        // "fuseblk". Both kinds are Windows' file systems.
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        const QString type = mountTypeOf(path::native(canonical.isEmpty() ? folder : canonical));
        const QString lower = type.toLower();
        if (lower == u"fuseblk" || lower.contains(u"fat") || lower.contains(u"ntfs"))
            return fatFamily(type);
        return {type.isEmpty() ? QStringLiteral("fuse") : type, false, 0, false};
    }
    default:
        return {};
    }
}

QString comparable(const QString& name)
{
    return name.normalized(QString::NormalizationForm_D).toCaseFolded().normalized(QString::NormalizationForm_D);
}

bool sameTime(std::int64_t a, std::int64_t b, const Traits& traits)
{
    const std::int64_t apart = a > b ? a - b : b - a;
    if (apart <= traits.timeTolerance)
        return true;
    if (!traits.localTimes)
        return false;
    // Zones lie up to 26 hours apart, in quarter hours.
    constexpr std::int64_t kQuarterHour = 15 * 60 * kSecond;
    const std::int64_t quarters = (apart + kQuarterHour / 2) / kQuarterHour;
    const std::int64_t rest = apart - quarters * kQuarterHour;
    return quarters <= 26 * 4 && (rest < 0 ? -rest : rest) <= traits.timeTolerance;
}

QString windowsName(const QString& name)
{
    QString fitted = name;
    while (fitted.endsWith(u'.') || fitted.endsWith(u' '))
        fitted.chop(1);
    if (fitted.isEmpty())
        return QStringLiteral("_");
    // A device name is reserved with any extension ("nul.mp3") and with
    // spaces before it ("CON .txt").
    qsizetype baseEnd = fitted.indexOf(u'.');
    if (baseEnd < 0)
        baseEnd = fitted.size();
    while (baseEnd > 0 && fitted[baseEnd - 1] == u' ')
        --baseEnd;
    const QString base = fitted.left(baseEnd).toUpper();
    static const QStringList devices = [] {
        QStringList names{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"), QStringLiteral("NUL"),
                          QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
        for (const QString& port : {QStringLiteral("COM"), QStringLiteral("LPT")}) {
            for (const QString& digit : {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                         QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"),
                                         QStringLiteral("8"), QStringLiteral("9"), QStringLiteral("\u00B9"),
                                         QStringLiteral("\u00B2"), QStringLiteral("\u00B3")})
                names << port + digit;
        }
        return names;
    }();
    if (devices.contains(base))
        fitted.insert(baseEnd, u'_');
    return fitted;
}

} // namespace destination
