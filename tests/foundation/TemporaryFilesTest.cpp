#include "platform/foundation/TemporaryFiles.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

TEST(TemporaryFiles, WholeFilesReplaceTheEarlierOneAndFailuresLeaveItAsItWas)
{
    TempDir dir;
    const QString log = dir.file("error.log");
    ASSERT_TRUE(writeFile(log, "earlier\n"));

    QString why;
    ASSERT_TRUE(tempfiles::writeFileAtomically(log, "later\n", &why)) << why.toStdString();
    EXPECT_EQ(readFile(log), "later\n");
    EXPECT_EQ(entries(dir.path()), QStringList{"error.log"}) << "no temporary left behind";

    // The folder is gone: nothing is created, and the reason is given.
    EXPECT_FALSE(tempfiles::writeFileAtomically(dir.file("missing/error.log"), "x", &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(QDir(dir.file("missing")).exists());

    // A folder in the way of the rename: the temporary goes, the folder stays.
    ASSERT_TRUE(QDir(dir.path()).mkpath("busy/inside"));
    EXPECT_FALSE(tempfiles::writeFileAtomically(dir.file("busy"), "x", &why));
    EXPECT_TRUE(QDir(dir.file("busy/inside")).exists());
    EXPECT_EQ(entries(dir.path()), QStringList{"error.log"});
}

// Leftovers are told by the name's exact form alone, never by a process id:
// in a PID namespace a killed run's id is that of every later run. Only the
// folders asked for are looked in: a user's file of that form elsewhere stays.
TEST(TemporaryFiles, EveryOtherProcesssTemporaryInTheFoldersAskedForIsALeftover)
{
    TempDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("Artist/Album"));
    const QString mine = tempfiles::temporaryPath(dir.file("Artist/Album"), "m4a");
    EXPECT_NE(mine, tempfiles::temporaryPath(dir.file("Artist/Album"), "m4a")) << "each call a fresh name";
    EXPECT_FALSE(mine.contains(QString::number(::getpid()))) << "no process id to guess the name by";
    ASSERT_TRUE(tempfiles::isOwnTemporaryName(mine.section('/', -1)));
    EXPECT_FALSE(tempfiles::isTemporaryName("Morning Tide.m4a"));
    EXPECT_FALSE(tempfiles::isTemporaryName(".ripwell-tmp-12-3.m4a/x"));
    EXPECT_FALSE(tempfiles::isTemporaryName(".ripwell-tmp-abc-1.txt")) << "a token is 16 hex digits or a process id";
    EXPECT_FALSE(tempfiles::isTemporaryName(".ripwell-tmp-0123456789abcdef-1.my notes"));

    const QStringList leftovers = {
        dir.file(QStringLiteral("Artist/Album/.ripwell-tmp-%1-7.mov").arg(::getpid())), // older names: the writer's id
        dir.file("Artist/Album/.ripwell-tmp-4294967295-1.wav"),
        dir.file("Artist/.ripwell-tmp-0123456789abcdef-2.mp3"),
    };
    for (const QString& f : leftovers)
        ASSERT_TRUE(writeFile(f, "left by a killed run"));
    ASSERT_TRUE(writeFile(mine, "in use"));
    const QStringList kept = {dir.file("Artist/Album/Song.wav"), dir.file("Notes/.ripwell-tmp-0123456789abcdef-3.txt"),
                              dir.file("Artist/Album/.ripwell-tmp-abc-1.txt")};
    ASSERT_TRUE(QDir(dir.path()).mkpath("Notes"));
    for (const QString& f : kept)
        ASSERT_TRUE(writeFile(f, "the user's"));
    QStringList gone{"Artist/.ripwell-tmp-0123456789abcdef-2.mp3",
                     QStringLiteral("Artist/Album/.ripwell-tmp-%1-7.mov").arg(::getpid()),
                     "Artist/Album/.ripwell-tmp-4294967295-1.wav"};
    gone.sort();
    EXPECT_EQ(tempfiles::removeStaleTemporaries(dir.path(), {"Artist/Album", "Artist", "Missing"}), gone);
    for (const QString& f : leftovers)
        EXPECT_FALSE(QFile::exists(f)) << f.toStdString();
    EXPECT_TRUE(QFile::exists(mine));
    for (const QString& f : kept)
        EXPECT_TRUE(QFile::exists(f)) << f.toStdString();
}

} // namespace
