// ripwell-cli under faults and unusual set-ups, as real processes: the user's
// songs, earlier copies and error.log survive, and no file under a final name
// is ever less than a whole conversion.
#include "platform/foundation/DocumentsLock.h"
#include "platform/foundation/TemporaryFiles.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestSupport.h"
#include "tests/support/GeneratedLibrary.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <unistd.h>

using testsupport::readFile;
using testsupport::TempDir;

namespace {

struct Result {
    int exitCode = -1;
    QString out, err;
};

// Starts ripwell-cli; `fileSizeLimit` >= 0 caps the size of every file it
// writes (as a full disk would stop it).
void start(QProcess& p, const QStringList& args, long fileSizeLimit = -1)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("RIPWELL_LIBRARY");
    env.remove("RIPWELL_DOCUMENTS");
    p.setProcessEnvironment(env);
    if (fileSizeLimit >= 0) {
        p.setChildProcessModifier([fileSizeLimit] {
            std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending the process
            const rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    p.start(QStringLiteral(RIPWELL_CLI_PATH), args);
    p.closeWriteChannel();
}

Result finish(QProcess& p)
{
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

Result cli(const QStringList& args, long fileSizeLimit = -1)
{
    QProcess p;
    start(p, args, fileSizeLimit);
    return finish(p);
}

// Reads the process's stderr until it holds `text`; what was read stays in `seen`.
bool waitForError(QProcess& p, const QString& text, QString* seen)
{
    QDeadlineTimer deadline(60000);
    while (!seen->contains(text)) {
        if (deadline.hasExpired() || p.state() == QProcess::NotRunning)
            return false;
        p.waitForReadyRead(20);
        *seen += QString::fromUtf8(p.readAllStandardError());
    }
    return true;
}

// Every file under `root` (relative paths), the hidden ones included.
QStringList filesUnder(const QString& root)
{
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(root).relativeFilePath(it.next());
    found.sort();
    return found;
}

QStringList temporariesUnder(const QString& root)
{
    QStringList found;
    for (const QString& f : filesUnder(root))
        if (tempfiles::isTemporaryName(f.section('/', -1)))
            found << f;
    return found;
}

// The converted songs under `docs`: everything but error.log, the lock and temporaries.
QStringList outputsUnder(const QString& docs)
{
    QStringList found;
    for (const QString& f : filesUnder(docs)) {
        const QString name = f.section('/', -1);
        if (name != "error.log" && !testsupport::isFolderBookkeeping(name) && !tempfiles::isTemporaryName(name))
            found << f;
    }
    return found;
}

// The audio of a song as a whole conversion must carry it: the MPEG frames
// of an MP3, the audio packets of the others.
QByteArray audioOf(const QString& path)
{
    return path.endsWith(".mp3") ? mediaprobe::afterId3v2(path) : mediaprobe::probe(path).audio();
}

class CliSafety : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        songgen::Options o;
        o.seconds = 2.0;
        o.songs = 8;
        o.formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::WavId3, songgen::Format::Aiff};
        library = new testsupport::GeneratedLibrary(o);
        songs = &library->songs();
        ASSERT_EQ(songs->size(), 8u);
        sourceAudio = new QHash<QByteArray, QString>;
        for (const songgen::Song& s : *songs)
            sourceAudio->insert(audioOf(s.path), s.title);
    }
    static void TearDownTestSuite()
    {
        delete sourceAudio;
        delete library;
    }

    QStringList args() const { return {"--library", library->path(), "--documents", docs.path(), "--yes"}; }

    // Each output under docs is a whole conversion of a song of the library;
    // returns the titles they hold.
    QStringList expectWholeOutputs() const
    {
        QStringList titles;
        for (const QString& f : outputsUnder(docs.path())) {
            const QByteArray audio = audioOf(docs.file(f));
            EXPECT_TRUE(sourceAudio->contains(audio)) << "not a whole conversion: " << f.toStdString();
            titles << sourceAudio->value(audio);
        }
        return titles;
    }

    static testsupport::GeneratedLibrary* library;
    static const std::vector<songgen::Song>* songs;
    static QHash<QByteArray, QString>* sourceAudio;
    TempDir docs;
};
testsupport::GeneratedLibrary* CliSafety::library = nullptr;
const std::vector<songgen::Song>* CliSafety::songs = nullptr;
QHash<QByteArray, QString>* CliSafety::sourceAudio = nullptr;

TEST_F(CliSafety, ALibraryInsideTheDocumentsFolderKeepsItsSongs)
{
    // D/The Lanterns/Harbour Lights/Morning Tide.mp3 is its own output; the
    // WAV tagged "Slow Train" would land on the song in "Slow Train.wav".
    const QString album = docs.file("The Lanterns/Harbour Lights");
    ASSERT_TRUE(QDir().mkpath(album));
    const songgen::Song own{album + "/Morning Tide.mp3", songgen::Format::Mp3Cbr, "The Lanterns", "Harbour Lights",
                            "Morning Tide", 1, false};
    const songgen::Song other{album + "/Other.wav", songgen::Format::WavId3, "The Lanterns", "Harbour Lights",
                              "Slow Train", 2, false};
    const songgen::Song target{album + "/Slow Train.wav", songgen::Format::WavId3, "The Lanterns", "Harbour Lights",
                               "Something Else", 3, false};
    QHash<QString, QByteArray> before;
    unsigned seed = 1;
    for (const songgen::Song& s : {own, other, target}) {
        ASSERT_TRUE(songgen::writeSong(s, seed++, 0.5, 128000, nullptr));
        before.insert(s.path, readFile(s.path));
    }
    const QStringList args{"--library", docs.file("The Lanterns"), "--documents", docs.path(), "--yes"};
    const Result r = cli(args);
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("lies inside the documents folder")) << r.err.toStdString();
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_TRUE(readFile(it.key()) == it.value()) << "changed: " << it.key().toStdString();
    // The songs at their names stay; the copies take the next free ones.
    for (const char* made : {"Morning Tide (2).mp3", "Slow Train (2).wav", "Something Else.wav"})
        EXPECT_TRUE(QFile::exists(album + "/" + made)) << made;
    EXPECT_EQ(temporariesUnder(docs.path()), QStringList());

    // Once more: the copies are no songs, the songs are up to date.
    const Result again = cli(args);
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.contains("Converted: 0, up to date: 3, skipped: 3 (protected 0, unreadable 0, unsupported "
                                   "format 0, converted by Ripwell 3), failed: 0"))
        << again.out.toStdString();
    EXPECT_EQ(outputsUnder(docs.path()).size(), 6);
}

TEST_F(CliSafety, TwoRunsAtOnceConvertEverySongOnce)
{
    QProcess first, second;
    start(first, args());
    start(second, args());
    const Result a = finish(first);
    const Result b = finish(second);
    EXPECT_EQ(a.exitCode, 0) << a.err.toStdString();
    EXPECT_EQ(b.exitCode, 0) << b.err.toStdString();
    // The second to get the folder finds every song up to date.
    EXPECT_TRUE((a.out.contains("Converted: 8, up to date: 0,") && b.out.contains("Converted: 0, up to date: 8,")) ||
                (b.out.contains("Converted: 8, up to date: 0,") && a.out.contains("Converted: 0, up to date: 8,")))
        << a.out.toStdString() << b.out.toStdString();
    QStringList titles = expectWholeOutputs();
    titles.sort();
    QStringList expected;
    for (const songgen::Song& s : *songs)
        expected << s.title;
    expected.sort();
    EXPECT_EQ(titles, expected) << outputsUnder(docs.path()).join(", ").toStdString();
    EXPECT_EQ(temporariesUnder(docs.path()), QStringList());
}

TEST_F(CliSafety, AFolderInUseMakesTheRunWaitOrExit)
{
    std::shared_ptr<DocumentsLock> held = DocumentsLock::tryAcquire(docs.path());
    ASSERT_NE(held, nullptr);

    const Result refused = cli(args() << "--no-wait");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("is in use by ")) &&
                refused.err.contains(QStringLiteral("(process %1)").arg(::getpid())))
        << refused.err.toStdString();
    EXPECT_EQ(outputsUnder(docs.path()), QStringList());

    QProcess waiting;
    start(waiting, args());
    QString err;
    ASSERT_TRUE(waitForError(waiting, "waiting for it to finish", &err)) << err.toStdString();
    EXPECT_EQ(outputsUnder(docs.path()), QStringList()) << "nothing written while it waits";
    held.reset();
    const Result done = finish(waiting);
    EXPECT_EQ(done.exitCode, 0) << done.err.toStdString();
    EXPECT_EQ(expectWholeOutputs().size(), 8);
}

TEST_F(CliSafety, AKilledRunLeavesOnlyWholeFilesAndTheNextRunCleansUp)
{
    // Killed when its first temporary appears, after the first song, after the third.
    struct Point {
        const char* name;
        std::function<bool(QProcess&, QString*)> reached;
    };
    const QString dir = docs.path();
    const Point points[] = {
        {"first temporary", [dir](QProcess& p, QString*) {
             return testsupport::processEventsUntil(
                 [&] { return !temporariesUnder(dir).isEmpty() || p.state() == QProcess::NotRunning; }, 60000);
         }},
        {"after song 1", [](QProcess& p, QString* err) { return waitForError(p, "[1/8]", err); }},
        {"after song 3", [](QProcess& p, QString* err) { return waitForError(p, "[3/8]", err); }},
    };
    for (const Point& point : points) {
        SCOPED_TRACE(point.name);
        QProcess p;
        start(p, args() << "--all"); // each run starts from the first song
        QString err;
        ASSERT_TRUE(point.reached(p, &err)) << err.toStdString();
        ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
        p.waitForFinished();
        expectWholeOutputs();
    }
    const Result rerun = cli(args());
    EXPECT_EQ(rerun.exitCode, 0) << rerun.err.toStdString();
    EXPECT_EQ(temporariesUnder(docs.path()), QStringList()) << "the killed runs' temporaries are gone";
    EXPECT_EQ(expectWholeOutputs().size(), 8);
}

TEST_F(CliSafety, InterruptingARunCancelsItCleanly)
{
    // Enough songs that the run is still going when the signal comes; should
    // it have finished all the same, the attempt is repeated.
    TempDir many;
    songgen::Options o;
    o.seconds = 1.0;
    o.songs = 40;
    o.formats = {songgen::Format::Mp3Cbr, songgen::Format::WavId3};
    ASSERT_EQ(songgen::makeLibrary(many.path(), o).size(), 40u);
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        Result r;
        for (int attempt = 0; attempt < 3 && r.exitCode != 130; ++attempt) {
            TempDir out;
            QProcess p;
            start(p, {"--library", many.path(), "--documents", out.path(), "--yes"});
            QString err;
            ASSERT_TRUE(waitForError(p, "[1/40]", &err)) << err.toStdString();
            ::kill(static_cast<pid_t>(p.processId()), signal);
            r = finish(p);
            if (r.exitCode == 0)
                continue; // all done before the signal came
            EXPECT_EQ(r.exitCode, 130) << r.out.toStdString();
            EXPECT_TRUE(r.out.contains("Interrupted")) << r.out.toStdString();
            EXPECT_EQ(temporariesUnder(out.path()), QStringList());
            EXPECT_LT(outputsUnder(out.path()).size(), 40);
            EXPECT_FALSE(QFile::exists(out.file("error.log"))) << "a cancelled song is not a failure";
        }
        EXPECT_EQ(r.exitCode, 130);
    }

    // Interrupted while it waits for another run: it leaves at once.
    std::shared_ptr<DocumentsLock> held = DocumentsLock::tryAcquire(docs.path());
    ASSERT_NE(held, nullptr);
    QProcess waiting;
    start(waiting, args());
    QString err;
    ASSERT_TRUE(waitForError(waiting, "waiting for it to finish", &err)) << err.toStdString();
    ::kill(static_cast<pid_t>(waiting.processId()), SIGINT);
    const Result r = finish(waiting);
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(outputsUnder(docs.path()), QStringList());
}

TEST_F(CliSafety, AFullDiskKeepsEarlierCopiesAndStopsBeforeAnySong)
{
    const Result first = cli(args());
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    QHash<QString, QByteArray> copies;
    for (const QString& f : outputsUnder(docs.path()))
        copies.insert(f, readFile(docs.file(f)));
    ASSERT_EQ(copies.size(), 8);
    testsupport::writeFile(docs.file("error.log"), "from an earlier run\n");
    const QByteArray record = readFile(docs.file(".ripwell-record"));

    // No file may grow past 0 bytes: not even the record can be written, and
    // without it the run would copy every song again under new names.
    const Result full = cli(args() << "--all", 0);
    EXPECT_EQ(full.exitCode, 2) << full.out.toStdString();
    EXPECT_TRUE(full.err.contains(docs.file(".ripwell-record") + " cannot be written")) << full.err.toStdString();
    EXPECT_EQ(readFile(docs.file("error.log")), "from an earlier run\n");
    EXPECT_EQ(readFile(docs.file(".ripwell-record")), record);
    for (auto it = copies.cbegin(); it != copies.cend(); ++it)
        EXPECT_TRUE(readFile(docs.file(it.key())) == it.value()) << "earlier copy lost: " << it.key().toStdString();
    EXPECT_EQ(temporariesUnder(docs.path()), QStringList());

    // A limit between the sizes of the songs: the small ones are replaced, the large keep their copies.
    qint64 smallest = std::numeric_limits<qint64>::max(), largest = 0;
    for (auto it = copies.cbegin(); it != copies.cend(); ++it) {
        smallest = std::min<qint64>(smallest, it.value().size());
        largest = std::max<qint64>(largest, it.value().size());
    }
    ASSERT_LT(smallest, largest);
    const Result half = cli(args() << "--all", static_cast<long>((smallest + largest) / 2));
    EXPECT_EQ(half.exitCode, 1) << half.err.toStdString();
    EXPECT_EQ(expectWholeOutputs().size(), 8);
    EXPECT_EQ(temporariesUnder(docs.path()), QStringList());
}

// Which song each output holds, by its audio: path of the output -> path of the song.
QHash<QString, QString> holders(const QString& docs, const QHash<QByteArray, QString>& songByAudio)
{
    QHash<QString, QString> held;
    for (const QString& f : outputsUnder(docs))
        held.insert(f, songByAudio.value(audioOf(QDir(docs).filePath(f)), QStringLiteral("(no song)")));
    return held;
}

// A song keeps its own file from run to run, whatever else a run converts:
// two untagged lectures, two songs whose titles clean to one name, and a file
// of the user's at that name.
TEST_F(CliSafety, RepeatedRunsKeepEverySongInItsOwnFile)
{
    TempDir lib;
    const std::vector<songgen::Song> mine = {
        {lib.file("talks/Lecture 3.mp3"), songgen::Format::Mp3Cbr, {}, {}, {}, 0, false},
        {lib.file("talks/Lecture 4.mp3"), songgen::Format::Mp3Cbr, {}, {}, {}, 0, false},
        {lib.file("a/first.mp3"), songgen::Format::Mp3Cbr, "A", "B", "Same?", 1, false},
        {lib.file("a/second.mp3"), songgen::Format::Mp3Cbr, "A", "B", "Same!", 2, false},
    };
    QHash<QByteArray, QString> songByAudio;
    unsigned seed = 11;
    for (const songgen::Song& song : mine) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(song.path).path()));
        ASSERT_TRUE(songgen::writeSong(song, seed++, 0.4, 128000, nullptr));
        songByAudio.insert(audioOf(song.path), QDir(lib.path()).relativeFilePath(song.path));
    }
    ASSERT_EQ(songByAudio.size(), 4);
    ASSERT_TRUE(QDir().mkpath(docs.file("A/B")));
    ASSERT_TRUE(testsupport::writeFile(docs.file("A/B/Same.mp3"), "the user's own"));

    const QStringList base{"--library", lib.path(), "--documents", docs.path(), "--yes"};
    const QHash<QString, QString> expected = {
        {"Lecture 3.mp3", "talks/Lecture 3.mp3"}, {"Lecture 4.mp3", "talks/Lecture 4.mp3"},
        {"A/B/Same (2).mp3", "a/first.mp3"},      {"A/B/Same (3).mp3", "a/second.mp3"},
        {"A/B/Same.mp3", "(no song)"},
    };
    // A full run, filtered runs of the later songs converted again, a full
    // run that finds everything up to date, and one that redoes everything.
    const struct {
        QStringList args;
        const char* summary;
    } runs[] = {
        {{}, "Converted: 4, up to date: 0,"},
        {{"--all", "lecture 4"}, "Converted: 1, up to date: 0,"},
        {{"--all", "Same!"}, "Converted: 1, up to date: 0,"},
        {{}, "Converted: 0, up to date: 4,"},
        {{"--all"}, "Converted: 4, up to date: 0,"},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.args.join(' ').toStdString());
        const Result r = cli(base + run.args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(run.summary)) << r.out.toStdString();
        EXPECT_EQ(holders(docs.path(), songByAudio), expected);
        EXPECT_EQ(readFile(docs.file("A/B/Same.mp3")), "the user's own");
    }
}

// Only what changed is converted again: a touched song, a retagged one, a
// deleted output; the rest is up to date.
TEST_F(CliSafety, OnlyWhatChangedIsRedone)
{
    TempDir lib;
    for (const songgen::Song& s : *songs) {
        const QString copy = lib.file(QDir(library->path()).relativeFilePath(s.path));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(copy).path()));
        ASSERT_TRUE(QFile::copy(s.path, copy));
    }
    const QStringList args{"--library", lib.path(), "--documents", docs.path(), "--yes"};
    ASSERT_EQ(cli(args).exitCode, 0);
    const QStringList outputs = outputsUnder(docs.path());
    ASSERT_EQ(outputs.size(), 8);
    const Result unchanged = cli(args);
    EXPECT_TRUE(unchanged.out.contains("Converted: 0, up to date: 8,")) << unchanged.out.toStdString();

    const QString song = lib.file(QDir(library->path()).relativeFilePath(songs->at(1).path));
    const QString touched = lib.file(QDir(library->path()).relativeFilePath(songs->at(2).path));
    QFile f(touched);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    f.close();
    {
        TagLib::FileRef retag(QFile::encodeName(song).constData());
        ASSERT_FALSE(retag.isNull());
        retag.tag()->setComment("retagged");
        ASSERT_TRUE(retag.save());
    }
    const QStringList deleted = outputs.filter(songs->at(6).title);
    ASSERT_EQ(deleted.size(), 1);
    ASSERT_TRUE(QFile::remove(docs.file(deleted.front())));
    // The retagged song and the one whose file went are converted again; the
    // touched one is the same song still (its content tells), up to date.
    const Result changed = cli(args);
    EXPECT_TRUE(changed.out.contains("Converted: 2, up to date: 6,")) << changed.out.toStdString();
    EXPECT_EQ(outputsUnder(docs.path()), outputs) << "each song into its own file again";
    expectWholeOutputs();

    const Result all = cli(args + QStringList{"--all"});
    EXPECT_TRUE(all.out.contains("Converted: 8, up to date: 0,")) << all.out.toStdString();
    EXPECT_EQ(outputsUnder(docs.path()), outputs);
}

// A link placed at one of the folder's names (the lock, error.log, the
// record, an output, a folder level) is never written through.
TEST_F(CliSafety, LinksAtOurNamesAreNeverWrittenThrough)
{
    TempDir outside;
    const QString victim = outside.file("precious");
    ASSERT_TRUE(testsupport::writeFile(victim, "precious"));
    const QStringList args{"--library", library->path(), "--documents", docs.path(), "--yes"};

    ASSERT_TRUE(QFile::link(victim, docs.file(".ripwell.lock")));
    const Result locked = cli(args);
    EXPECT_EQ(locked.exitCode, 2);
    EXPECT_TRUE(locked.err.contains("is a symbolic link")) << locked.err.toStdString();
    EXPECT_EQ(readFile(victim), "precious");
    ASSERT_TRUE(QFile::remove(docs.file(".ripwell.lock")));

    // A broken song makes the run write error.log.
    TempDir lib;
    for (const songgen::Song& s : *songs)
        ASSERT_TRUE(QFile::link(s.path, lib.file(QFileInfo(s.path).fileName())));
    ASSERT_TRUE(testsupport::writeFile(lib.file("Broken.mp3"), "no audio in here"));
    const songgen::Song first = songs->front();
    const QString firstOutput = docs.file(QStringLiteral("%1/%2/%3.mp3").arg(first.artist, first.album, first.title));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(firstOutput).path()));
    ASSERT_TRUE(QFile::link(victim, firstOutput));
    ASSERT_TRUE(QFile::link(outside.path(), docs.file(songs->at(3).artist))); // a folder level out
    for (const char* name : {"error.log", ".ripwell-record"})
        ASSERT_TRUE(QFile::link(victim, docs.file(name)));
    const Result r = cli({"--library", lib.path(), "--documents", docs.path(), "--yes"});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList{"precious"})
        << "nothing made outside the documents folder";
    EXPECT_TRUE(QFileInfo(firstOutput).isSymLink()) << "the link at the output's name stays";
    EXPECT_TRUE(QFile::exists(QFileInfo(firstOutput).path() + "/" + first.title + " (2).mp3"));
    EXPECT_TRUE(r.err.contains("is a symbolic link, and nothing is written through one")) << r.err.toStdString();
    for (const char* name : {"error.log", ".ripwell-record"})
        EXPECT_FALSE(QFileInfo(docs.file(name)).isSymLink()) << name << ": the link is replaced by the file";
}

// Process ids mean nothing across PID namespaces: a run killed as process 1
// or 2 there leaves temporaries that no later run may take for its own.
TEST_F(CliSafety, ARunKilledInAPidNamespaceLeavesNothingInTheWay)
{
    if (QProcess::execute("unshare", {"-fp", "true"}) != 0)
        GTEST_SKIP() << "no PID namespaces here (unshare -fp needs privileges)";
    const QString command = QStringLiteral("exec \"$0\" \"$@\"");
    // Killed while a song is under way; tried again should a kill come just
    // between two songs.
    for (int round = 0; round < 5 && (round < 2 || temporariesUnder(docs.path()).isEmpty()); ++round) {
        SCOPED_TRACE(round);
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start("unshare", QStringList{"-fp", "--kill-child", "sh", "-c", command, RIPWELL_CLI_PATH} + args() << "--all");
        ASSERT_TRUE(testsupport::processEventsUntil(
            [&] { return !temporariesUnder(docs.path()).isEmpty() || p.state() == QProcess::NotRunning; }, 60000));
        ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
        p.waitForFinished();
    }
    EXPECT_FALSE(temporariesUnder(docs.path()).isEmpty()) << "the killed runs left their temporaries";
    QProcess p;
    p.start("unshare", QStringList{"-fp", "sh", "-c", command, RIPWELL_CLI_PATH} + args());
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(temporariesUnder(docs.path()), QStringList());
    EXPECT_EQ(expectWholeOutputs().size(), 8);
}

} // namespace

TEST_F(CliSafety, ProcessesAtOnceShareTheLibraryIndex)
{
    TempDir own;
    songgen::Options o;
    o.seconds = 0.2;
    o.songs = 8;
    o.formats = {songgen::Format::Mp3Cbr, songgen::Format::Flac, songgen::Format::OggVorbis, songgen::Format::Aac};
    QString error;
    const std::vector<songgen::Song> made = songgen::makeLibrary(own.path(), o, &error);
    ASSERT_EQ(made.size(), 8u) << error.toStdString();

    // Four listings at once over one index (the test's cache folder), each
    // with every song; then the truth, read past the index.
    const auto listings = [&] {
        QProcess runs[4];
        for (QProcess& p : runs)
            start(p, {"--library", own.path(), "--documents", docs.path(), "--list"});
        QStringList outs;
        for (QProcess& p : runs) {
            const Result r = finish(p);
            EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
            EXPECT_EQ(r.err, QString()) << "an index in use is no news to the user";
            outs << r.out;
        }
        const Result truth = cli({"--library", own.path(), "--documents", docs.path(), "--list", "--rescan"});
        for (const QString& out : outs)
            EXPECT_EQ(out.toStdString(), truth.out.toStdString());
        return truth.out;
    };
    const QString cache = qEnvironmentVariable("XDG_CACHE_HOME") + "/ripwell";
    const auto indexes = [&] { return QDir(cache).entryList({"library-*.sqlite"}, QDir::Files).size(); };
    const qsizetype indexesBefore = indexes();
    const QString before = listings();
    EXPECT_EQ(before.count('\n'), 8) << before.toStdString();
    EXPECT_EQ(indexes(), indexesBefore + 1) << "one index for the library, in " << cache.toStdString();

    // A song renamed, one removed, one retagged: every process after it sees that.
    ASSERT_TRUE(QFile::rename(made[0].path, QFileInfo(made[0].path).path() + "/Renamed.mp3"));
    ASSERT_TRUE(QFile::remove(made[1].path));
    {
        TagLib::FileRef song(QFile::encodeName(made[2].path).constData());
        ASSERT_FALSE(song.isNull());
        song.tag()->setTitle(TagLib::String("Retitled", TagLib::String::UTF8));
        ASSERT_TRUE(song.save());
    }
    const QString after = listings();
    EXPECT_EQ(after.count('\n'), 7) << after.toStdString();
    EXPECT_TRUE(after.contains("/Renamed.mp3\n")) << after.toStdString();
    EXPECT_TRUE(after.contains("\tRetitled\t")) << after.toStdString();
    EXPECT_FALSE(after.contains(QFileInfo(made[1].path).fileName())) << after.toStdString();
}
