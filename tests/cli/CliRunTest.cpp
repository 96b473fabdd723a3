// ripwell-cli as a user runs it: a real process over a generated library.
#include "tests/support/CliProcess.h"
#include "tests/support/TestSupport.h"
#include "tests/support/GeneratedLibrary.h"
#include "tools/make_library/AudioEncoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::TempDir;

namespace {

using Result = testsupport::CliResult;

// The locale variables a run sees, on top of the test's own environment.
using Locale = testsupport::CliEnvironment;

Result cli(const QStringList& args, const QByteArray& input = {}, const Locale& locale = {})
{
    return testsupport::runCli(args, locale, input);
}

class Cli : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        songgen::Options o;
        o.seconds = 0.5;
        o.formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::WavId3, songgen::Format::Aiff,
                     songgen::Format::Protected};
        library = new testsupport::GeneratedLibrary(o);
        ASSERT_EQ(library->songs().size(), 5u);
    }
    static void TearDownTestSuite() { delete library; }
    static testsupport::GeneratedLibrary* library;
    TempDir docs;
};
testsupport::GeneratedLibrary* Cli::library = nullptr;

TEST_F(Cli, HelpAndBadUsage)
{
    const Result help = cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("Usage: ripwell-cli")) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains("--yes"));

    const Result bad = cli({"--nonsense"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains("unknown option --nonsense"));

    const Result missing = cli({"--library", docs.file("no such folder"), "--documents", docs.path()});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains("cannot read the music library"));

    // Nothing to convert is said, and is no error.
    TempDir empty;
    const Result none = cli({"--yes", "--library", empty.path(), "--documents", docs.path()});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_TRUE(none.err.contains("no songs in the music library " + empty.path())) << none.err.toStdString();
    const Result typo = cli({"--yes", "--library", library->path(), "--documents", docs.path(), "harbuor"});
    EXPECT_EQ(typo.exitCode, 0);
    EXPECT_TRUE(typo.err.contains("no song matches harbuor")) << typo.err.toStdString();
    EXPECT_TRUE(typo.out.contains("Converted: 0, up to date: 0, skipped: 0")) << typo.out.toStdString();
}

TEST_F(Cli, ListShowsTheSelectionWithFormats)
{
    const Result r = cli({"--library", library->path(), "--documents", docs.path(), "--list"});
    EXPECT_EQ(r.exitCode, 0);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << r.out.toStdString();
    EXPECT_TRUE(lines.contains("The Lanterns\tHarbour Lights\tMorning Tide\tmp3\tThe Lanterns/Harbour Lights/01 Morning Tide.mp3"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("\tprotected\tMira Okafor/Paper Boats/02 Slow Train.m4p\n"));
    EXPECT_TRUE(QDir(docs.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty()) << "nothing written";

    const Result filtered = cli({"--library", library->path(), "--documents", docs.path(), "--list", "harbour", "SKY"});
    EXPECT_EQ(filtered.out.toStdString(), "The Lanterns\tHarbour Lights\tCopper Sky\twav\tThe Lanterns/Harbour Lights/03 Copper Sky.wav\n");
}

TEST_F(Cli, ConvertsTheLibraryAndReportsWhatItDid)
{
    const Result r = cli({"--library", library->path(), "--documents", docs.path()});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Converted: 4, up to date: 0, skipped: 1 (protected 1, unreadable 0, unsupported format 0), failed: 0")) << r.out.toStdString();
    EXPECT_TRUE(QFile::exists(docs.file("The Lanterns/Harbour Lights/Morning Tide.mp3")));
    EXPECT_TRUE(QFile::exists(docs.file("The Lanterns/Harbour Lights/Why (Live).m4a")));
    EXPECT_TRUE(QFile::exists(docs.file("Mira Okafor/Paper Boats/Ballad for Anna.aif")));
    EXPECT_FALSE(QFile::exists(docs.file("error.log")));
    EXPECT_FALSE(r.err.contains("[DEBUG]")) << "debug lines only with --verbose";
}

TEST_F(Cli, FailuresGiveStatusOneAndErrorLog)
{
    TempDir broken;
    QDir().mkpath(broken.file("x"));
    // An MP3 cut inside a frame: the library reads it, its export fails.
    songgen::Song cut{broken.file("x/Cut.mp3"), songgen::Format::Mp3Cbr, "A", "B", "Cut Short", 2, false};
    ASSERT_TRUE(songgen::writeSong(cut, 4, 1.0, 128000, nullptr));
    QFile f(cut.path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.resize(f.size() * 2 / 5 + 7));
    f.close();
    songgen::Song good{broken.file("x/Good.wav"), songgen::Format::WavId3, "A", "B", "Good", 1, false};
    ASSERT_TRUE(songgen::writeSong(good, 3, 0.3, 128000, nullptr));
    const Result r = cli({"--library", broken.path(), "--documents", docs.path()});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Converted: 1, up to date: 0, skipped: 0 (protected 0, unreadable 0, unsupported format 0), failed: 1")) << r.out.toStdString();
    EXPECT_EQ(testsupport::errorLogEntries(docs.file("error.log")),
              "A, Cut Short: the song's file is damaged, or holds audio that cannot be copied as it is\n");
    EXPECT_TRUE(r.out.contains(docs.file("error.log"))) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromUtf8("failed: A – Cut Short"))) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(docs.file("A/B/Good.wav")));
}

TEST_F(Cli, LargeBatchesNeedYesWithoutATerminal)
{
    TempDir big;
    songgen::Options o;
    o.seconds = 0.1;
    o.songs = 26;
    o.formats = {songgen::Format::WavId3};
    ASSERT_EQ(songgen::makeLibrary(big.path(), o).size(), 26u);
    const Result refused = cli({"--library", big.path(), "--documents", docs.path()}, "y\n");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains("needs --yes")) << refused.err.toStdString();
    EXPECT_TRUE(QDir(docs.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

    const Result done = cli({"--library", big.path(), "--documents", docs.path(), "--yes"});
    EXPECT_EQ(done.exitCode, 0) << done.err.toStdString();
    EXPECT_TRUE(done.out.contains("Converted: 26,")) << done.out.toStdString();
}

// The texts follow the user's locale: German for LANG=de_DE.UTF-8, English
// when LC_ALL (which wins over LANG) is the C locale or nothing is set.
TEST_F(Cli, SpeaksTheLanguageOfTheLocale)
{
    const Locale german = [](QProcessEnvironment& env) {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
            env.remove(name);
        env.insert("LANG", "de_DE.UTF-8");
    };
    const Locale plainC = [](QProcessEnvironment& env) {
        env.insert("LC_ALL", "C.UTF-8");
        env.insert("LANG", "de_DE.UTF-8");
        env.insert("LANGUAGE", "de");
    };
    const Locale none = [](QProcessEnvironment& env) {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"})
            env.remove(name);
    };

    const Result help = cli({"--help"}, {}, german);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Aufruf: ripwell-cli")) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QString::fromUtf8("Rückgabewert: 0")) && help.out.contains("--no-wait"))
        << help.out.toStdString();
    EXPECT_FALSE(help.out.contains("Usage"));
    const Result englishHelp = cli({"--help"}, {}, plainC);
    EXPECT_TRUE(englishHelp.out.startsWith("Usage: ripwell-cli [--library DIR]")) << englishHelp.out.toStdString();
    EXPECT_TRUE(englishHelp.out.contains("Exit status: 0 when nothing failed"));

    const Result bad = cli({"--nonsense"}, {}, german);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.startsWith("ripwell-cli: unbekannte Option --nonsense\n\nAufruf:")) << bad.err.toStdString();
    for (const Locale& english : {plainC, none}) {
        const Result r = cli({"--nonsense"}, {}, english);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.startsWith("ripwell-cli: unknown option --nonsense\n\nUsage:")) << r.err.toStdString();
    }

    const Result de = cli({"--library", library->path(), "--documents", docs.path(), "--verbose"}, {}, german);
    EXPECT_EQ(de.exitCode, 0) << de.err.toStdString();
    EXPECT_TRUE(de.out.contains(QStringLiteral("Die Dateien liegen in %1\n").arg(docs.path()))) << de.out.toStdString();
    EXPECT_TRUE(de.out.contains(QString::fromUtf8("Konvertiert: 4, aktuell: 0, ausgelassen: 1 (geschützt 1, nicht lesbar 0, "
                                                  "nicht unterstütztes Format 0), fehlgeschlagen: 0\n")))
        << de.out.toStdString();
    EXPECT_TRUE(de.err.contains(QString::fromUtf8("ausgelassen (geschützt): "))) << de.err.toStdString();
    // The list's columns are for scripts: the same in every language.
    const Result list = cli({"--library", library->path(), "--documents", docs.path(), "--list"}, {}, german);
    EXPECT_TRUE(list.out.contains("\tprotected\tMira Okafor/")) << list.out.toStdString();
    EXPECT_TRUE(list.err.contains(QString::fromUtf8("1 von 5 Titeln würden ausgelassen: geschützt 1")))
        << list.err.toStdString();

    TempDir englishDocs;
    const Result en = cli({"--library", library->path(), "--documents", englishDocs.path()}, {}, plainC);
    EXPECT_EQ(en.exitCode, 0) << en.err.toStdString();
    EXPECT_EQ(en.out.toStdString(), QStringLiteral("Files are in %1\nConverted: 4, up to date: 0, skipped: 1 (protected 1, "
                                                   "unreadable 0, unsupported format 0), failed: 0\n")
                                        .arg(englishDocs.path())
                                        .toStdString());
}

// Songs the run leaves out are counted by reason; tags full of control
// characters reach neither the terminal nor the file names raw.
TEST_F(Cli, HostileTagsAndLeftOutSongs)
{
    TempDir lib;
    QDir().mkpath(lib.file("x"));
    songgen::Song evil{lib.file("x/Evil.wav"), songgen::Format::WavId3, "Art\tist", "Al\nbum",
                       QString::fromUtf8("Clear\x1b[2J\x1b]0;pwned\x07 Me\r\u0085"), 1, false};
    ASSERT_TRUE(songgen::writeSong(evil, 5, 0.3, 128000, nullptr));
    // A format that is listed but not converted.
    ASSERT_EQ(songgen::encode(lib.file("x/Windows.wma"), {"asf", "wmav2", 128000}, songgen::synthesize(6, 0.3)), "");
    songgen::Song cut{lib.file("x/Cut.m4a"), songgen::Format::Aac, "C", "D", "Cut", 3, false};
    ASSERT_TRUE(songgen::writeSong(cut, 7, 0.5, 128000, nullptr));
    QFile f(cut.path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.resize(100));
    f.close();

    // Entries with a song's name that are no song file, and a song whose file
    // name is not UTF-8 (it converts, named from its tags).
    const QByteArray x = QFile::encodeName(lib.file("x"));
    ASSERT_EQ(::symlink("Missing.mp3", (x + "/Dangling.mp3").constData()), 0);
    ASSERT_EQ(::symlink("Loop.mp3", (x + "/Loop.mp3").constData()), 0);
    ASSERT_EQ(::mkfifo((x + "/Pipe.wav").constData(), 0600), 0);
    songgen::Song latin1{lib.file("x/tmp.wav"), songgen::Format::WavId3, "L", "M", "Latin", 4, false};
    ASSERT_TRUE(songgen::writeSong(latin1, 8, 0.3, 128000, nullptr));
    ASSERT_EQ(::rename(QFile::encodeName(latin1.path).constData(), (x + "/Caf\xe9.wav").constData()), 0);

    const Result list = cli({"--library", lib.path(), "--documents", docs.path(), "--list"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_FALSE(list.out.contains(QChar(0x1b)) || list.out.contains('\r') || list.out.contains(QChar(0x85)));
    EXPECT_TRUE(list.out.contains("\tLatin\twav\tx/Caf\\xE9.wav\n")) << list.out.toStdString();
    EXPECT_TRUE(list.out.contains("\tDangling\tlink to nothing\tx/Dangling.mp3\n")) << list.out.toStdString();
    for (const QString& line : list.out.split('\n', Qt::SkipEmptyParts))
        EXPECT_EQ(line.count('\t'), 4) << line.toStdString();
    EXPECT_TRUE(list.out.contains("Art\\tist\tAl\\nbum\tClear\\x1B[2J\\x1B]0;pwned\\x07 Me\\r\\u0085\twav\tx/Evil.wav\n"))
        << list.out.toStdString();
    EXPECT_TRUE(list.out.contains("\tWindows\tunsupported format\tx/Windows.wma\n")) << list.out.toStdString();
    EXPECT_TRUE(list.out.contains("\tunreadable\tx/Cut.m4a\n")) << list.out.toStdString();
    EXPECT_TRUE(list.err.contains("5 of 7 songs would be left out: link loop 1, link to nothing 1, not a regular file 1, "
                                  "unreadable 1, unsupported format 1"))
        << list.err.toStdString();

    const Result r = cli({"--library", lib.path(), "--documents", docs.path(), "--verbose"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Converted: 2, up to date: 0, skipped: 5 (protected 0, unreadable 1, unsupported format 1, "
                               "link loop 1, link to nothing 1, not a regular file 1), failed: 0"))
        << r.out.toStdString();
    EXPECT_TRUE(QFile::exists(docs.file("L/M/Latin.wav")));
    ::unlink((x + "/Caf\xe9.wav").constData()); // a name the temporary folder's own clean-up cannot spell
    EXPECT_TRUE(r.err.contains(QString::fromUtf8("left out (unsupported format): x/Windows.wma"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QChar(0x1b)) || r.err.contains(QChar(0x07))) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(docs.file("Artist/Album/Clear[2J]0pwned Me.wav")))
        << QDir(docs.path()).entryList().join(',').toStdString();
}

// Without a home folder (cron, system services, env -i) the default folders
// would be folders at the top of the file system; a library that is the
// documents folder would have its songs written among. Neither runs.
TEST_F(Cli, FoldersThatCannotBeToldOrAreOneAreRefused)
{
    TempDir cwd;
    for (const char* home : {"", "relative/home"}) {
        SCOPED_TRACE(home);
        QProcess p;
        QProcessEnvironment env;
        env.insert("PATH", qEnvironmentVariable("PATH"));
        if (*home)
            env.insert("HOME", home);
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(cwd.path());
        const bool rootHadDocuments = QFileInfo::exists("/Documents");
        p.start(QStringLiteral(RIPWELL_CLI_PATH), {"--yes"});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 2);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(err.contains("HOME is not set to an absolute folder, so there is no telling where the music library "
                                 "(set RIPWELL_LIBRARY) or the documents folder (set RIPWELL_DOCUMENTS) is"))
            << err.toStdString();
        EXPECT_EQ(QFileInfo::exists("/Documents"), rootHadDocuments) << "nothing made at the top";
        EXPECT_TRUE(QDir(cwd.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    const Result same = cli({"--yes", "--library", library->path(), "--documents", library->path() + "/"});
    EXPECT_EQ(same.exitCode, 2);
    EXPECT_TRUE(same.err.contains("is the documents folder itself")) << same.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(library->file(".ripwell.lock")));
}

// A folder that cannot be made is reported as such.
TEST_F(Cli, AFolderThatCannotBeMadeIsNamed)
{
    TempDir lib;
    songgen::Song song{lib.file("S.wav"), songgen::Format::WavId3, "Blocked", "B", "S", 1, false};
    ASSERT_TRUE(songgen::writeSong(song, 5, 0.3, 128000, nullptr));
    testsupport::writeFile(docs.file("Blocked"), "a file where the artist folder would go");
    const Result r = cli({"--library", lib.path(), "--documents", docs.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Could not create folder " + docs.file("Blocked/B") + ": Not a directory"))
        << r.err.toStdString();
    EXPECT_EQ(testsupport::readFile(docs.file("Blocked")), "a file where the artist folder would go");
}

} // namespace
