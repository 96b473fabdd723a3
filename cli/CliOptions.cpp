#include "cli/CliOptions.h"

#include "platform/foundation/Localization.h"

#include <algorithm>

namespace cli {

QString usageText()
{
    // One paragraph a text, so that a translation can lay out its own lines.
    return L("Usage: ripwell-cli [--library DIR] [--documents DIR] [--list] [--yes] [--all] [--rescan]\n"
             "                  [--prune] [--dry-run] [--no-wait] [--verbose] [FILTER…]\n") +
           L("       ripwell-cli [OPTION…] --playlist NAME [--playlist NAME…] [FILTER…]\n"
             "       ripwell-cli [--library DIR] --list --playlists\n") +
           u'\n' +
           L("Copies songs out of a music library into ordinary audio files, without re-encoding:\n"
             "each song becomes DOCUMENTS/Artist/Album/Title.ext, as MP3, M4A, WAV, AIFF, FLAC,\n"
             "Ogg Vorbis, Opus or WavPack by the song's own format.\n") +
           u'\n' +
           L("  FILTER…          select the songs whose \"artist / album / title\" contains every\n"
             "                   FILTER word (case is ignored); without a filter, every song\n"
             "  --library DIR    the music library (default: $RIPWELL_LIBRARY, else your music folder)\n"
             "  --documents DIR  where the files go (default: $RIPWELL_DOCUMENTS, else\n"
             "                   your documents folder plus Ripwell)\n"
             "  --list           print the selection (artist, album, title, format or why it is\n"
             "                   left out, and the file's path in the library) and exit\n"
             "  --playlist NAME  select the songs of the library's playlist NAME (its name, or its\n"
             "                   file's path in the library), in its order, and write\n"
             "                   DOCUMENTS/Playlists/NAME.m3u8 listing their files; may be given\n"
             "                   more than once\n"
             "  --list --playlists  print the library's playlists (name, songs it converts,\n"
             "                   entries left out, the file's path in the library) and exit\n"
             "  --yes            do not ask before converting 26 or more songs (needed for that\n"
             "                   many when standard input is not a terminal)\n"
             "  --all            convert every selected song again, also those whose file is\n"
             "                   up to date\n"
             "  --rescan         read every song of the library again instead of trusting its\n"
             "                   index (which is then made afresh)\n"
             "  --prune          also remove the files of songs that are no longer in the library\n"
             "                   (only files Ripwell made and nobody changed since, and the folders\n"
             "                   it made that this leaves empty; among the FILTER's songs only)\n"
             "  --dry-run, -n    print what a run would do with each song, and the counts, and\n"
             "                   write nothing at all\n"
             "  --no-wait        when another run is writing into the documents folder, exit\n"
             "                   (status 2) instead of waiting for it to finish\n"
             "  --verbose        also print the import's debug log lines\n"
             "  --help           show this text\n") +
           u'\n' +
           L("A song whose file is still there and unchanged since an earlier run, as is the song\n"
             "itself, is up to date and not converted again; each song keeps its own file from run\n"
             "to run, also when it or the whole library has moved, and a file that Ripwell did not\n"
             "make is never replaced.\n") +
           u'\n' +
           L("An iPod mounted as a disk is a library of its own: --library names its folder, the one\n"
             "that holds iPod_Control. Its songs are named and tagged as its database says, whatever\n"
             "their files say; its videos, books, copy-protected songs and songs whose file is missing\n"
             "are left out and counted. Nothing is ever written to the iPod.\n") +
           u'\n' +
           L("Copy-protected songs are left out and counted. Songs that fail are listed, one title a\n"
             "line, in error.log in the documents folder.\n") +
           u'\n' +
           L("Playlists are the library's .m3u, .m3u8, .pls and .xspf files. A written playlist lists\n"
             "its songs' files by paths relative to itself, so it plays wherever the documents folder\n"
             "is copied; entries that are no song of the library (missing, outside it, streams) and\n"
             "songs that are left out or fail are not listed, and counted.\n") +
           u'\n' +
           L("Exit status: 0 when nothing failed, 1 when a song failed, 2 for bad usage, a library\n"
             "that cannot be read or a documents folder in use (with --no-wait), 130 when\n"
             "interrupted (Ctrl-C or SIGTERM: the song under way is dropped, finished ones stay).\n");
}

bool parseOptions(const QStringList& args, Options* options, QString* error)
{
    Options o;
    bool onlyFilters = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (onlyFilters || !a.startsWith(u'-') || a == u"-") {
            o.filters.append(a);
            continue;
        }
        auto value = [&](QString* target) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                *error = a == u"--playlist" ? L("%1 needs a name").arg(a) : L("%1 needs a folder").arg(a);
                return false;
            }
            *target = args[++i];
            return true;
        };
        if (a == u"--") {
            onlyFilters = true;
        } else if (a == u"--library") {
            if (!value(&o.library))
                return false;
        } else if (a.startsWith(u"--library=")) {
            o.library = a.mid(10);
        } else if (a == u"--documents") {
            if (!value(&o.documents))
                return false;
        } else if (a.startsWith(u"--documents=")) {
            o.documents = a.mid(12);
        } else if (a == u"--list") {
            o.list = true;
        } else if (a == u"--playlists") {
            o.listPlaylists = true;
        } else if (a == u"--playlist") {
            QString name;
            if (!value(&name))
                return false;
            o.playlists.append(name);
        } else if (a.startsWith(u"--playlist=")) {
            if (a.size() == 11) {
                *error = L("%1 needs a name").arg(QStringLiteral("--playlist"));
                return false;
            }
            o.playlists.append(a.mid(11));
        } else if (a == u"--yes" || a == u"-y") {
            o.yes = true;
        } else if (a == u"--all") {
            o.all = true;
        } else if (a == u"--rescan") {
            o.rescan = true;
        } else if (a == u"--prune") {
            o.prune = true;
        } else if (a == u"--dry-run" || a == u"-n") {
            o.dryRun = true;
        } else if (a == u"--no-wait") {
            o.noWait = true;
        } else if (a == u"--verbose" || a == u"-v") {
            o.verbose = true;
        } else if (a == u"--help" || a == u"-h") {
            o.help = true;
        } else {
            *error = L("unknown option %1").arg(a);
            return false;
        }
    }
    if (args.contains(QStringLiteral("--library=")) || args.contains(QStringLiteral("--documents="))) {
        *error = L("--library and --documents need a folder");
        return false;
    }
    if (o.listPlaylists && !o.list) {
        *error = L("--playlists goes with --list");
        return false;
    }
    *options = o;
    return true;
}

bool matchesFilters(const QString& artist, const QString& album, const QString& title, const QStringList& filters)
{
    const QString haystack = QStringLiteral("%1 / %2 / %3").arg(artist, album, title);
    for (const QString& f : filters)
        if (!haystack.contains(f, Qt::CaseInsensitive))
            return false;
    return true;
}

QString progressLine(int percent, unsigned itemNumber, unsigned itemCount, const QString& artist,
                     const QString& title, int width)
{
    const int clamped = std::clamp(percent, 0, 100);
    constexpr int barWidth = 20;
    const int filled = clamped * barWidth / 100;
    QString line = QStringLiteral("[%1%2] %3%  %4/%5")
                       .arg(QString(filled, u'#'), QString(barWidth - filled, u'-'))
                       .arg(clamped, 3)
                       .arg(itemNumber)
                       .arg(itemCount);
    QString name = artist.isEmpty() ? title : QStringLiteral("%1 – %2").arg(artist, title);
    if (!name.isEmpty())
        line += QStringLiteral("  ") + name;
    if (width > 1 && line.size() > width)
        line = line.left(width - 1) + QStringLiteral("…");
    return line;
}

QString printable(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\t')
            out += QLatin1String("\\t");
        else if (u == u'\n')
            out += QLatin1String("\\n");
        else if (u == u'\r')
            out += QLatin1String("\\r");
        else if (u < 0x20 || u == 0x7F)
            out += QString::asprintf("\\x%02X", unsigned(u));
        else if (u >= 0x80 && u <= 0x9F)
            out += QString::asprintf("\\u%04X", unsigned(u));
        else
            out += c;
    }
    return out;
}

bool isYes(const QString& answer)
{
    const QString a = answer.trimmed();
    if (a.isEmpty())
        return false;
    // "y" is understood in every language; a translation adds its own letter.
    const QChar first = a.front().toLower();
    return first == u'y' || first == L("y").front().toLower();
}

} // namespace cli
