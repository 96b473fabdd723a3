// ripwell-cli as a user runs it: a real process over a generated library.
#include "tests/support/TestSupport.h"
#include "tools/make_library/SongGenerator.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <functional>
#include <gtest/gtest.h>

using testsupport::TempDir;

namespace {

struct Result {
    int exitCode = -1;
    QString out, err;
};

// The locale variables a run sees, on top of the test's own environment.
using Locale = std::function<void(QProcessEnvironment&)>;

Result cli(const QStringList& args, const QByteArray& input = {}, const Locale& locale = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("RIPWELL_LIBRARY");
    env.remove("RIPWELL_DOCUMENTS");
    if (locale)
        locale(env);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(RIPWELL_CLI_PATH), args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

class Cli : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        library = new TempDir;
        songgen::Options o;
        o.seconds = 0.5;
        o.formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::WavId3, songgen::Format::Aiff,
                     songgen::Format::Protected};
        ASSERT_EQ(songgen::makeLibrary(library->path(), o).size(), 5u);
    }
    static void TearDownTestSuite() { delete library; }
    static TempDir* library;
    TempDir docs;
};
TempDir* Cli::library = nullptr;

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
    EXPECT_TRUE(typo.out.contains("Converted: 0, skipped: 0")) << typo.out.toStdString();
}

TEST_F(Cli, ListShowsTheSelectionWithFormats)
{
    const Result r = cli({"--library", library->path(), "--documents", docs.path(), "--list"});
    EXPECT_EQ(r.exitCode, 0);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << r.out.toStdString();
    EXPECT_TRUE(lines.contains("The Lanterns\tHarbour Lights\tMorning Tide\tmp3")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("\tprotected\n"));
    EXPECT_TRUE(QDir(docs.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty()) << "nothing written";

    const Result filtered = cli({"--library", library->path(), "--documents", docs.path(), "--list", "harbour", "SKY"});
    EXPECT_EQ(filtered.out.toStdString(), "The Lanterns\tHarbour Lights\tCopper Sky\twav\n");
}

TEST_F(Cli, ConvertsTheLibraryAndReportsWhatItDid)
{
    const Result r = cli({"--library", library->path(), "--documents", docs.path()});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Converted: 4, skipped: 1 (protected 1, unreadable 0, unsupported format 0), failed: 0")) << r.out.toStdString();
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
    EXPECT_TRUE(r.out.contains("Converted: 1, skipped: 0 (protected 0, unreadable 0, unsupported format 0), failed: 1")) << r.out.toStdString();
    EXPECT_EQ(testsupport::readFile(docs.file("error.log")), "Cut Short\n");
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
    EXPECT_TRUE(de.out.contains(QString::fromUtf8("Konvertiert: 4, ausgelassen: 1 (geschützt 1, nicht lesbar 0, nicht "
                                                  "unterstütztes Format 0), fehlgeschlagen: 0\n")))
        << de.out.toStdString();
    EXPECT_TRUE(de.err.contains(QString::fromUtf8("ausgelassen (geschützt): "))) << de.err.toStdString();
    // The list's columns are for scripts: the same in every language.
    const Result list = cli({"--library", library->path(), "--documents", docs.path(), "--list"}, {}, german);
    EXPECT_TRUE(list.out.contains("\tprotected\n")) << list.out.toStdString();
    EXPECT_TRUE(list.err.contains(QString::fromUtf8("1 von 5 Titeln würden ausgelassen: geschützt 1")))
        << list.err.toStdString();

    TempDir englishDocs;
    const Result en = cli({"--library", library->path(), "--documents", englishDocs.path()}, {}, plainC);
    EXPECT_EQ(en.exitCode, 0) << en.err.toStdString();
    EXPECT_EQ(en.out.toStdString(), QStringLiteral("Files are in %1\nConverted: 4, skipped: 1 (protected 1, unreadable 0, "
                                                   "unsupported format 0), failed: 0\n")
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
    songgen::Song flac{lib.file("x/Lossless.flac"), songgen::Format::Flac, "F", "G", "Lossless", 2, false};
    ASSERT_TRUE(songgen::writeSong(flac, 6, 0.3, 128000, nullptr));
    songgen::Song cut{lib.file("x/Cut.m4a"), songgen::Format::Aac, "C", "D", "Cut", 3, false};
    ASSERT_TRUE(songgen::writeSong(cut, 7, 0.5, 128000, nullptr));
    QFile f(cut.path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.resize(100));
    f.close();

    const Result list = cli({"--library", lib.path(), "--documents", docs.path(), "--list"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_FALSE(list.out.contains(QChar(0x1b)) || list.out.contains('\r') || list.out.contains(QChar(0x85)));
    for (const QString& line : list.out.split('\n', Qt::SkipEmptyParts))
        EXPECT_EQ(line.count('\t'), 3) << line.toStdString();
    EXPECT_TRUE(list.out.contains("Art\\tist\tAl\\nbum\tClear\\x1B[2J\\x1B]0;pwned\\x07 Me\\r\\u0085\twav\n"))
        << list.out.toStdString();
    EXPECT_TRUE(list.out.contains("\tLossless\tunsupported format\n")) << list.out.toStdString();
    EXPECT_TRUE(list.out.contains("\tunreadable\n")) << list.out.toStdString();
    EXPECT_TRUE(list.err.contains("2 of 3 songs would be left out: unreadable 1, unsupported format 1"))
        << list.err.toStdString();

    const Result r = cli({"--library", lib.path(), "--documents", docs.path(), "--verbose"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Converted: 1, skipped: 2 (protected 0, unreadable 1, unsupported format 1), failed: 0"))
        << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromUtf8("left out (unsupported format): F – Lossless"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QChar(0x1b)) || r.err.contains(QChar(0x07))) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(docs.file("Artist/Album/Clear[2J]0pwned Me.wav")))
        << QDir(docs.path()).entryList().join(',').toStdString();
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
