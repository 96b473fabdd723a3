// ripwell-bench-playlists [--songs N] [--entries M]: how fast a playlist of
// M songs (default 5,000) in a library of N songs (default 50,000) is read,
// resolved against the library and listed as the run writes it. The songs
// are the library's records as its index hands them over (no audio is read);
// the playlist is read from its text in each of the forms players write:
// M3U8 with paths relative to its folder, M3U with Windows "\" paths in
// another case (the case-folded lookup), XSPF with file:// URLs, PLS with
// absolute paths. Prints the median of five rounds for each.

#include "Classes/PlaylistWriter.h"
#include "platform/library/PlaylistFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>

using namespace medialibrary;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int songs = 50000, entries = 5000;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--songs")
            songs = args[i + 1].toInt();
        else if (args[i] == u"--entries")
            entries = args[i + 1].toInt();
    }
    const QString root = QStringLiteral("/bench/Music");
    std::vector<MediaItem> items;
    items.reserve(std::size_t(songs));
    for (int i = 0; i < songs; ++i) {
        MediaItem::Data d;
        d.persistentID = quint64(i + 1);
        d.artist = QStringLiteral("Artist %1").arg(i / 100);
        d.albumTitle = QStringLiteral("Album %1").arg(i / 10);
        d.title = QStringLiteral("Song %1").arg(i);
        d.albumTrackNumber = i % 10 + 1;
        d.durationMs = 180000 + i % 60000;
        d.filePath = QStringLiteral("%1/%2/%3/%4 %5.mp3").arg(root, d.artist, d.albumTitle).arg(d.albumTrackNumber, 2, 10, QChar(u'0')).arg(d.title);
        d.assetURL = Url(QStringLiteral("library://item/item.mp3?id=%1").arg(i + 1));
        d.isReadable = true;
        d.format = AudioFormat::Mp3;
        items.emplace_back(std::move(d));
    }
    // Every tenth song, spread over the whole library.
    std::vector<std::size_t> picked;
    for (int i = 0; i < entries; ++i)
        picked.push_back(std::size_t(i) * std::size_t(songs) / std::size_t(entries));

    struct Form {
        const char* name;
        QString file; // below the top
        QByteArray text;
    };
    QByteArray m3u8 = "#EXTM3U\n", m3u, xspf = "<?xml version=\"1.0\"?><playlist xmlns=\"http://xspf.org/ns/0/\"><trackList>",
               pls = "[playlist]\n";
    int n = 0;
    for (std::size_t i : picked) {
        const QString relative = items[i].filePath().mid(root.size() + 1);
        m3u8 += "../" + relative.toUtf8() + '\n';
        m3u += "..\\" + relative.toUpper().replace(u'/', u'\\').toLatin1() + "\r\n";
        xspf += "<track><location>" + QUrl::fromLocalFile(items[i].filePath()).toEncoded() + "</location></track>";
        pls += "File" + QByteArray::number(++n) + '=' + items[i].filePath().toUtf8() + '\n';
    }
    xspf += "</trackList></playlist>";
    const Form forms[] = {{"M3U8, relative paths", QStringLiteral("Lists/Party.m3u8"), m3u8},
                          {"M3U, Windows paths in another case", QStringLiteral("Lists/Party.m3u"), m3u},
                          {"XSPF, file:// URLs", QStringLiteral("Party.xspf"), xspf},
                          {"PLS, absolute paths", QStringLiteral("Party.pls"), pls}};

    int status = 0;
    for (const Form& form : forms) {
        std::vector<double> times;
        std::size_t listed = 0;
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer clock;
            clock.start();
            const QStringList locations = playlistfile::readEntries(form.text, form.file);
            const PlaylistResolver resolver(items, root);
            const Playlist playlist = resolver.resolve(QStringLiteral("Party"), form.file, locations);
            std::vector<PlaylistSong> lines;
            lines.reserve(playlist.items.size());
            for (const MediaItem& item : playlist.items)
                lines.push_back({item.filePath().mid(root.size() + 1), item.durationMs(), item.artist(), item.displayTitle()});
            const QByteArray written = m3u8Text(QStringLiteral("Playlists/Party.m3u8"), lines);
            times.push_back(double(clock.nsecsElapsed()) / 1e9);
            listed = written.isEmpty() ? 0 : playlist.items.size();
        }
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        std::printf("playlist of %d songs in a library of %d, %s: %zu listed, read, resolved and listed in %.3f s "
                    "(median of 5; target < 0.5 s)\n",
                    entries, songs, form.name, listed, median);
        if (listed != picked.size() || median >= 0.5)
            status = 1;
    }
    return status;
}
