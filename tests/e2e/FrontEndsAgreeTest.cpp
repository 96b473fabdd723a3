// The window app and ripwell-cli over one library of every kind of file: the
// same songs are converted, the same fail, and those left out are left out
// for the same reasons in both.

#include "tests/support/CliProcess.h"
#include "tests/e2e/Flows.h"
#include "tools/make_library/AudioEncoder.h"

#include <QProcess>
#include <QRegularExpression>
#include <unistd.h>

using e2e::Flows;
using testsupport::processEventsUntil;

namespace {

class FrontEnds : public Flows {
protected:
    static void SetUpTestSuite()
    {
        Flows::SetUpTestSuite();
        songgen::Options options;
        options.seconds = 0.3;
        options.formats = {songgen::Format::Mp3Cbr,    songgen::Format::Aac,  songgen::Format::WavId3,
                           songgen::Format::Aiff,      songgen::Format::Flac, songgen::Format::OggVorbis,
                           songgen::Format::Opus,      songgen::Format::Protected};
        mixed_ = new testsupport::GeneratedLibrary(options);
        ASSERT_TRUE(mixed_->error().isEmpty()) << mixed_->error().toStdString();
        // Beside them, what a real library also holds: a format that is not
        // converted, a text file, an Ogg and a FLAC cut short, a dangling link.
        QDir().mkpath(mixed_->file("Odd"));
        ASSERT_EQ(songgen::encode(mixed_->file("Odd/Windows.wma"), {"asf", "wmav2", 128000}, songgen::synthesize(3, 0.3)), "");
        ASSERT_TRUE(testsupport::writeFile(mixed_->file("Odd/Notes.mp3"), "not a song\n"));
        for (const songgen::Song& s : mixed_->songs()) {
            const QByteArray bytes = testsupport::readFile(s.path);
            if (s.format == songgen::Format::OggVorbis) {
                ASSERT_TRUE(testsupport::writeFile(mixed_->file("Odd/Cut.ogg"), bytes.left(bytes.size() / 2)));
            } else if (s.format == songgen::Format::Flac) {
                ASSERT_TRUE(testsupport::writeFile(mixed_->file("Odd/Cut.flac"), bytes.left(bytes.size() * 2 / 3)));
            }
        }
        ASSERT_EQ(::symlink("Missing.mp3", QFile::encodeName(mixed_->file("Odd/Gone.mp3")).constData()), 0);
    }
    static void TearDownTestSuite()
    {
        delete mixed_;
        mixed_ = nullptr;
        Flows::TearDownTestSuite();
    }
    QString libraryRoot() const override { return mixed_->path(); }

    static testsupport::GeneratedLibrary* mixed_;
};
testsupport::GeneratedLibrary* FrontEnds::mixed_ = nullptr;

using CliRun = testsupport::CliResult;

CliRun cli(const QStringList& args)
{
    return testsupport::runCli(args, [](QProcessEnvironment& env) { env.insert("LC_ALL", "C.UTF-8"); });
}

TEST_P(FrontEnds, AgreeOnEverySongOfAMixedLibrary)
{
    // The command line: what it would leave out and why, then the run.
    testsupport::TempDir cliDocs;
    const CliRun list = cli({"--list", "--library", mixed_->path(), "--documents", cliDocs.path()});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    QMap<QString, QString> cliReasons; // title -> reason, for the songs left out
    for (const QString& line : list.out.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList columns = line.split(u'\t');
        ASSERT_EQ(columns.size(), 5) << line.toStdString();
        if (!medialibrary::formatForOutputExtension(columns[3]))
            cliReasons.insert(columns[2], columns[3]);
    }
    const CliRun run = cli({"--yes", "--library", mixed_->path(), "--documents", cliDocs.path()});
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Converted: 7, up to date: 0, skipped: 5 (protected 1, unreadable 2, unsupported "
                                 "format 1, link to nothing 1), failed: 1"))
        << run.out.toStdString();

    // The window app: every row of the picker tapped, then Done and Convert.
    ASSERT_TRUE(press(t().selectSongs));
    ASSERT_TRUE(processEventsUntil([&] {
        return pickerList() && still() && delegate_->library()->loadedLibrary();
    }));
    processEventsUntil([] { return false; }, 2 * 200 * 0.02 + 20); // the picker's last fill-in tick
    QListView* rows = pickerList();
    QMap<QString, QString> appReasons; // title -> why, for the rows that cannot be ticked
    for (int r = 0; r < rows->model()->rowCount(); ++r) {
        const QModelIndex index = rows->model()->index(r, 0);
        rows->scrollTo(index);
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualRect(index).center());
        const QString why = index.data(Qt::AccessibleDescriptionRole).toString();
        if (!why.isEmpty())
            appReasons.insert(index.data().toString(), why);
        EXPECT_EQ(index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked,
                  bool(index.flags() & Qt::ItemIsUserCheckable))
            << "a row that cannot be ticked stays unticked: " << index.data().toString().toStdString();
    }
    ASSERT_TRUE(press(t().done));
    ASSERT_TRUE(waitForAlert());
    EXPECT_TRUE(alertText().endsWith(": 1")) << "the protected song, left out: " << alertText().toStdString();
    ASSERT_TRUE(press(t().ok));
    ASSERT_TRUE(press(t().convert));
    ASSERT_TRUE(runEnds());

    // The same reasons (in the words of each), the same songs converted and failed.
    const QMap<QString, QString> sameReason = {
        {"protected", "Copy-protected"},
        {"unreadable", "Cannot be read"},
        {"unsupported format", "WMA songs are not converted"},
        {"link to nothing", "A link to a missing file"},
    };
    ASSERT_EQ(appReasons.keys(), cliReasons.keys());
    for (auto it = cliReasons.cbegin(); it != cliReasons.cend(); ++it)
        EXPECT_EQ(appReasons.value(it.key()), sameReason.value(it.value())) << it.key().toStdString();
    QStringList cliFiles, appFiles;
    for (const QString& f : filesIn(cliDocs.path()))
        if (f != "error.log")
            cliFiles << f;
    for (const QString& f : filesIn(documents()))
        if (f != "error.log")
            appFiles << f;
    EXPECT_EQ(appFiles, cliFiles);
    EXPECT_EQ(appFiles.size(), 7);
    EXPECT_EQ(testsupport::errorLogEntries(documents() + "/error.log"),
              testsupport::errorLogEntries(cliDocs.file("error.log")));
}

INSTANTIATE_TEST_SUITE_P(English, FrontEnds, ::testing::Values("en"));

} // namespace
