// ripwell-make-ipod: makes a real iPod disk in a folder, with libgpod.

#include "tools/make_ipod/IpodMaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <cstdio>

namespace {

const char* const kUsage =
    "Usage: ripwell-make-ipod DIR [--songs N] [--formats LIST] [--distinct N] [--model M] [--compressed]\n"
    "                         [--seconds S] [--quiet]\n"
    "\n"
    "Makes an iPod in DIR as libgpod writes one: iPod_Control with the iPod's SysInfo, the songs in\n"
    "iPod_Control/Music/Fnn under names that mean nothing, and the database (iTunesDB) that says\n"
    "what they are. The songs are generated; their files carry no tags, or tags that differ from\n"
    "the database.\n"
    "\n"
    "Without --songs: one song of each format with album artists, discs, years, genres and a\n"
    "compilation, a podcast, an audiobook with chapters, a protected song, a song whose file is\n"
    "missing, a video, and two playlists.\n"
    "\n"
    "  --songs N        N songs instead, in albums of 12\n"
    "  --formats LIST   the formats of those songs, in turn (as ripwell-make-library names them;\n"
    "                   default mp3,aac)\n"
    "  --distinct N     generate only N files of each format and hard-link the other songs to them\n"
    "  --model M        the iPod's model number (default MA147, an iPod Video)\n"
    "  --compressed     keep the database compressed, as iTunesCDB, as later nanos do\n"
    "  --seconds S      length of each song in seconds (default 2)\n"
    "  --quiet          print nothing but errors\n"
    "\n"
    "Prints one line per track: its id and dbid in the database, title, file (tab-separated).\n";

int usage(const char* message)
{
    if (message)
        std::fprintf(stderr, "ripwell-make-ipod: %s\n\n", message);
    std::fputs(kUsage, message ? stderr : stdout);
    return message ? 2 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    ipodmaker::Options options = ipodmaker::standardIpod();
    int songs = -1;
    std::vector<songgen::Format> formats;
    QString dir;
    bool quiet = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](const char* name) -> QString {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "ripwell-make-ipod: %s needs a value\n", name);
                std::exit(2);
            }
            return args[++i];
        };
        bool ok = true;
        if (a == "--help" || a == "-h") {
            return usage(nullptr);
        } else if (a == "--songs") {
            songs = value("--songs").toInt(&ok);
            ok = ok && songs >= 0;
        } else if (a == "--distinct") {
            options.distinctFiles = value("--distinct").toInt(&ok);
            ok = ok && options.distinctFiles > 0;
        } else if (a == "--seconds") {
            options.seconds = value("--seconds").toDouble(&ok);
            ok = ok && options.seconds > 0 && options.seconds <= 3600;
        } else if (a == "--model") {
            options.model = value("--model");
        } else if (a == "--formats") {
            for (const QString& name : value("--formats").split(u',', Qt::SkipEmptyParts)) {
                songgen::Format f;
                if (!songgen::formatFromName(name, &f))
                    return usage(qPrintable(QStringLiteral("unknown format '%1'").arg(name)));
                formats.push_back(f);
            }
        } else if (a == "--compressed") {
            options.compressed = true;
        } else if (a == "--quiet") {
            quiet = true;
        } else if (a.startsWith(u'-')) {
            return usage(qPrintable(QStringLiteral("unknown option '%1'").arg(a)));
        } else if (dir.isEmpty()) {
            dir = a;
        } else {
            return usage("only one DIR may be given");
        }
        if (!ok)
            return usage(qPrintable(QStringLiteral("bad value for %1").arg(a)));
    }
    if (dir.isEmpty())
        return usage("DIR is missing");
    if (songs >= 0) {
        if (formats.empty())
            formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac};
        options.tracks = ipodmaker::manySongs(songs, formats);
        options.playlists = {{QStringLiteral("Favourites"), {0, 2, 4, 6, 8}}};
    }

    const ipodmaker::Made made = ipodmaker::makeIpod(dir, options);
    if (!quiet) {
        QTextStream out(stdout);
        for (std::size_t i = 0; i < made.tracks.size(); ++i) {
            const auto& m = made.tracks[i];
            out << m.id << '\t' << m.dbid << '\t' << options.tracks[i].title << '\t'
                << QDir(dir).relativeFilePath(m.filePath) << '\n';
        }
    }
    if (!made.error.isEmpty()) {
        std::fprintf(stderr, "ripwell-make-ipod: %s\n", qPrintable(made.error));
        return 1;
    }
    return 0;
}
