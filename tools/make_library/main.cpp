// ripwell-make-library: writes a library of generated, tagged songs.

#include "tools/make_library/SongGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <cstdio>

namespace {

const char* const kUsage =
    "Usage: ripwell-make-library DIR [--songs N] [--seconds S] [--formats LIST] [--mp3-bitrate KBPS]\n"
    "                            [--broken] [--quiet]\n"
    "\n"
    "Writes a library of generated songs into DIR, as DIR/Artist/Album/NN Title.ext, each with\n"
    "title, artist, album, track number and a cover picture. The same arguments give the same files.\n"
    "\n"
    "  --songs N         number of songs (default: one of each chosen format)\n"
    "  --seconds S       length of each song in seconds (default 6)\n"
    "  --formats LIST    comma-separated, from: mp3, mp3-vbr, aac, alac, wav, wav-id3, aif, flac, m4p,\n"
    "                    ogg, opus, wv (default: all); songs cycle through them in this order\n"
    "  --mp3-bitrate K   bit rate of the constant-bit-rate MP3s in kbit/s (default 128)\n"
    "  --broken          also write DIR/Broken: an empty MP3, a truncated MP3 and M4A, a text file named .mp3\n"
    "  --quiet           print nothing but errors\n"
    "\n"
    "Prints one line per file: format, artist, album, title, path (tab-separated).\n";

int usage(const char* message)
{
    if (message)
        std::fprintf(stderr, "ripwell-make-library: %s\n\n", message);
    std::fputs(kUsage, message ? stderr : stdout);
    return message ? 2 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    songgen::Options options;
    QString dir;
    bool quiet = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](const char* name) -> QString {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "ripwell-make-library: %s needs a value\n", name);
                std::exit(2);
            }
            return args[++i];
        };
        bool ok = true;
        if (a == "--help" || a == "-h") {
            return usage(nullptr);
        } else if (a == "--songs") {
            options.songs = value("--songs").toInt(&ok);
            ok = ok && options.songs >= 0;
        } else if (a == "--seconds") {
            options.seconds = value("--seconds").toDouble(&ok);
            ok = ok && options.seconds > 0 && options.seconds <= 3600;
        } else if (a == "--mp3-bitrate") {
            options.mp3BitRate = value("--mp3-bitrate").toInt(&ok) * 1000;
            ok = ok && options.mp3BitRate >= 32000 && options.mp3BitRate <= 320000;
        } else if (a == "--formats") {
            for (const QString& name : value("--formats").split(u',', Qt::SkipEmptyParts)) {
                songgen::Format f;
                if (!songgen::formatFromName(name, &f))
                    return usage(qPrintable(QStringLiteral("unknown format '%1'").arg(name)));
                options.formats.push_back(f);
            }
        } else if (a == "--broken") {
            options.broken = true;
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

    QString error;
    const auto songs = songgen::makeLibrary(dir, options, &error);
    if (!quiet) {
        QTextStream out(stdout);
        for (const auto& s : songs) {
            const QString kind = s.broken ? QStringLiteral("broken") : songgen::formatNames()[int(s.format)];
            out << kind << '\t' << s.artist << '\t' << s.album << '\t' << s.title << '\t'
                << QDir(dir).relativeFilePath(s.path) << '\n';
        }
    }
    if (!error.isEmpty()) {
        std::fprintf(stderr, "ripwell-make-library: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
