#pragma once
// Command-line options of ripwell-cli.

#include "platform/library/MediaItem.h"

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
    bool help = false;
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

// Why a song of the library is left out of a conversion, or empty when it is
// converted: "protected", "unreadable", "unsupported format", "link to
// nothing", "link loop" or "not a regular file".
QString leftOutReason(const medialibrary::MediaItem& item);

// `reason` (a value of leftOutReason(), or "converted by Ripwell" for a file
// of an earlier run in a library inside the documents folder) in the user's
// language.
QString leftOutReasonText(const QString& reason);

// Whether an answer to a yes/no question means yes: "y" or the first letter of
// the user's language's "yes", in either case.
bool isYes(const QString& answer);

// The batch's percentage as the conversion screen shows it: the item index
// plus the item's fraction, over the number of items, truncated.
int batchPercent(unsigned itemIndex, float itemFraction, unsigned itemCount);

// One line of the terminal progress display, at most `width` columns:
// "[#########-----------]  37%  2/4  Artist – Title".
QString progressLine(int percent, unsigned itemNumber, unsigned itemCount, const QString& artist,
                     const QString& title, int width);

} // namespace cli
