#pragma once
// Command-line options of ripwell-cli.

#include <QString>
#include <QStringList>

namespace cli {

struct Options {
    QString library;     // empty: the default library root
    QString documents;   // empty: the default documents directory
    bool list = false;
    bool yes = false;
    bool verbose = false;
    bool noWait = false;   // exit at once when another run holds the documents folder
    bool all = false;      // convert songs whose output is up to date as well
    bool rescan = false;   // read every song again, without the library's index
    bool prune = false;    // remove the outputs of songs no longer in the library
    bool dryRun = false;   // say what a run would do, and write nothing
    bool help = false;
    bool listPlaylists = false; // --list --playlists: the library's playlists
    QStringList playlists; // --playlist NAME: the songs of these playlists, and their files written
    QStringList filters; // words that every selected song must contain
};

// Parses the arguments after the program name. On bad usage returns false and
// says why in `error`.
bool parseOptions(const QStringList& args, Options* options, QString* error);

// The --help text.
QString usageText();

// Whether "artist / album / title" contains every filter word, ignoring case.
bool matchesFilters(const QString& artist, const QString& album, const QString& title, const QStringList& filters);

// `text` fit for a terminal and for tab-separated columns: every control
// character (C0, DEL, C1) written as an escape ("\t", "\n", "\r", else
// "\x1B" or "\u0085"); everything else as it is.
QString printable(const QString& text);

// Whether an answer to a yes/no question means yes: "y" or the first letter of
// the user's language's "yes", in either case.
bool isYes(const QString& answer);

// One line of the terminal progress display, at most `width` columns:
// "[#########-----------]  37%  2/4  Artist – Title".
QString progressLine(int percent, unsigned itemNumber, unsigned itemCount, const QString& artist,
                     const QString& title, int width);

} // namespace cli
