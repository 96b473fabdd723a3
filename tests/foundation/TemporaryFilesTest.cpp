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

TEST(TemporaryFiles, NamesCarryTheWriterAndOnlyDeadWritersLeftoversAreRemoved)
{
    TempDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("Artist/Album"));
    const QString mine = tempfiles::temporaryPath(dir.file("Artist/Album"), "m4a");
    EXPECT_NE(mine, tempfiles::temporaryPath(dir.file("Artist/Album"), "m4a")) << "each call a fresh name";
    qint64 pid = 0;
    ASSERT_TRUE(tempfiles::isTemporaryName(mine.section('/', -1), &pid));
    EXPECT_EQ(pid, ::getpid());
    EXPECT_FALSE(tempfiles::isTemporaryName("Morning Tide.m4a"));
    EXPECT_FALSE(tempfiles::isTemporaryName(".ripwell-tmp-12-3.m4a/x"));

    // A process id no process can have: as a pid_t it would read -1, "every
    // process", to kill().
    const QString dead = dir.file("Artist/Album/.ripwell-tmp-4294967295-1.wav");
    ASSERT_TRUE(writeFile(mine, "in use"));
    ASSERT_TRUE(writeFile(dead, "left by a killed run"));
    ASSERT_TRUE(writeFile(dir.file("Artist/Album/Song.wav"), "the user's"));
    EXPECT_EQ(tempfiles::removeStaleTemporaries(dir.path()), 1);
    EXPECT_FALSE(QFile::exists(dead));
    EXPECT_TRUE(QFile::exists(mine));
    EXPECT_TRUE(QFile::exists(dir.file("Artist/Album/Song.wav")));
}

} // namespace
