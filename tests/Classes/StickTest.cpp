// Converting straight onto a stick: a FAT file system in an image, mounted
// with FUSE (fusefat) in the test's own folder, offered by the main screen,
// written by the run, shown by the browser, and pulled out in the middle of a
// run. Needs root and /dev/fuse; without them the tests say why and skip.

#include "Classes/AudioPlayerHelper.h"
#include "Classes/ChooseSongViewController.h"
#include "Classes/CompletedWorkViewController.h"
#include "Classes/FileManagerViewController.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/Timing.h"
#include "platform/foundation/Volumes.h"
#include "platform/library/MediaLibrary.h"
#include "platform/library/MediaPickerController.h"
#include "platform/library/MusicFolder.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "tests/support/GeneratedLibrary.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestSupport.h"
#include "tools/make_ipod/IpodMaker.h"

#include <QAbstractButton>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using medialibrary::MediaLibrary;
using testsupport::processEventsUntil;

namespace {

// A 32 MB FAT file system in an image file, mounted read-write with fusefat
// (in the foreground, as a child of the test) at a folder of its own.
class FatStick {
public:
    // Why a stick cannot be mounted here, or an empty text.
    static QString unavailable()
    {
        if (::geteuid() != 0)
            return QStringLiteral("mounting with FUSE needs root");
        if (::access("/dev/fuse", R_OK | W_OK) != 0)
            return QStringLiteral("no /dev/fuse");
        for (const char* tool : {"fusefat", "mkfs.fat"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty() &&
                QStandardPaths::findExecutable(QString::fromLatin1(tool), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")}).isEmpty())
                return QStringLiteral("%1 is not installed (scripts/setup installs it)").arg(QString::fromLatin1(tool));
        return {};
    }

    FatStick(const QString& dir, const QString& name) : image_(dir + "/stick.img"), mountPoint_(dir + "/" + name)
    {
        QDir().mkpath(mountPoint_);
        QFile image(image_);
        if (!image.open(QIODevice::WriteOnly) || !image.resize(32 << 20))
            return;
        image.close();
        for (const QString& tool : {QStringLiteral("mkfs.fat"), QStringLiteral("/usr/sbin/mkfs.fat")}) {
            if (made_)
                break;
            QProcess mkfs;
            mkfs.start(tool, {image_});
            made_ = made_ || (mkfs.waitForFinished(30000) && mkfs.exitStatus() == QProcess::NormalExit && mkfs.exitCode() == 0);
        }
    }
    ~FatStick()
    {
        detach();
        if (fuse_.state() != QProcess::NotRunning && !fuse_.waitForFinished(5000)) {
            fuse_.kill();
            fuse_.waitForFinished(5000);
        }
    }

    // Mounts the image, read-write or read only; true once the folder is the stick's.
    bool mount(bool writable = true)
    {
        if (!made_)
            return false;
        const QStringList args{QStringLiteral("-f"), QStringLiteral("-o"), writable ? QStringLiteral("rw+") : QStringLiteral("ro")};
        fuse_.setStandardOutputFile(QProcess::nullDevice()); // its notes on every call
        fuse_.setStandardErrorFile(QProcess::nullDevice());
        fuse_.start(QStringLiteral("fusefat"), args + QStringList{image_, mountPoint_});
        return processEventsUntil([&] { return isMounted(); }, 10000);
    }
    // Whether the folder is the root of a file system of its own.
    bool isMounted() const
    {
        struct stat folder {}, parent {};
        return ::stat(QFile::encodeName(mountPoint_).constData(), &folder) == 0 &&
               ::stat(QFile::encodeName(mountPoint_ + "/..").constData(), &parent) == 0 && folder.st_dev != parent.st_dev;
    }
    // The stick as the main screen offers it, or a null volume.
    volumes::Volume volume() const
    {
        for (const volumes::Volume& v : volumes::removableVolumes())
            if (v.rootPath == mountPoint_)
                return v;
        return {};
    }
    // Takes the stick out of the folder tree at once, as a stick pulled out
    // is: the folder is a plain folder of the disk below again; the stick's
    // file system ends once no file is open on it.
    void detach() { ::umount2(mountPoint_.toLocal8Bit().constData(), MNT_DETACH); }
    bool waitUntilGone() { return fuse_.state() == QProcess::NotRunning || fuse_.waitForFinished(10000); }

    const QString& mountPoint() const { return mountPoint_; }

private:
    QString image_, mountPoint_;
    bool made_ = false;
    QProcess fuse_;
};

QStringList filesIn(const QString& dir)
{
    QStringList out;
    for (QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        if (const QString file = QDir(dir).relativeFilePath(it.next()); !testsupport::isFolderBookkeeping(file))
            out << file;
    out.sort();
    return out;
}

// The file below `dir` that holds exactly `song`'s audio, or an empty text.
QString outputOf(const QString& dir, const songgen::Song& song)
{
    const QByteArray audio = mediaprobe::probe(song.path).audio();
    for (const QString& file : filesIn(dir))
        if (!audio.isEmpty() && mediaprobe::probe(dir + "/" + file).audio() == audio)
            return file;
    return {};
}

void click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

// A conversion screen whose stick is pulled out right after its first song.
class PulledOutScreen : public CompletedWorkViewController {
public:
    using CompletedWorkViewController::CompletedWorkViewController;
    FatStick* stick = nullptr;
    void itemEnded(std::uint32_t index, const ItemOutcome& outcome) override
    {
        CompletedWorkViewController::itemEnded(index, outcome);
        if (index == 0 && stick)
            stick->detach();
    }
};

class StickTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::silencePlatformMessages();
        songgen::Options options;
        options.songs = 4;
        options.seconds = 0.2;
        options.formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac};
        library_ = new testsupport::GeneratedLibrary(options, "Music");
        ASSERT_TRUE(library_->error().isEmpty()) << library_->error().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete library_;
        library_ = nullptr;
        testsupport::restorePlatformMessages();
    }
    void SetUp() override
    {
        if (const QString why = FatStick::unavailable(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        folder_ = medialibrary::MusicFolder::holding(MediaLibrary::scan(library_->path()));
        qputenv("RIPWELL_DOCUMENTS", QFile::encodeName(home_.file("Documents")));
        timing::setScale(0.05);
        window_.resize(1024, 700);
        ctrl_ = std::make_unique<ChooseSongViewController>(folder_);
        window_.addSubview(ctrl_->view());
        window_.makeKeyAndVisible();
        stick_ = std::make_unique<FatStick>(home_.path(), QStringLiteral("Stick %1").arg(QCoreApplication::applicationPid()));
        ASSERT_TRUE(stick_->mount());
        ASSERT_FALSE(stick_->volume().isNull()) << "the mounted stick is not taken for a removable volume";
    }
    void TearDown() override
    {
        AudioPlayerHelper::sharedInstance()->stopPlayback();
        ctrl_.reset();
        QCoreApplication::processEvents();
        stick_.reset();
        folder_.reset();
        qunsetenv("RIPWELL_DOCUMENTS");
        timing::setScale(1.0);
    }

    SelectionMap selectionOf(int count) const
    {
        SelectionMap map;
        for (const medialibrary::MediaItem& item : folder_->library()->items())
            if (map.count() < std::size_t(count))
                map.setObject(item, item.assetURL());
        return map;
    }
    const songgen::Song& songTitled(const QString& title) const
    {
        for (const songgen::Song& s : library_->songs())
            if (s.title == title)
                return s;
        return library_->songs().front();
    }

    static testsupport::GeneratedLibrary* library_;
    testsupport::LogCapture log_; // the runs' lines, the songs that failed among them
    testsupport::TempDir home_;
    ui::Window window_;
    std::shared_ptr<medialibrary::MusicFolder> folder_; // the library the screen is handed
    std::unique_ptr<ChooseSongViewController> ctrl_;
    std::unique_ptr<FatStick> stick_;
};

testsupport::GeneratedLibrary* StickTest::library_ = nullptr;

// The destination control offers the stick; the picked songs are converted
// onto it, each whole, nothing into the documents folder; the completion
// menu's browser lists the stick.
TEST_F(StickTest, SongsConvertedOntoAStickThatTheBrowserShows)
{
    const volumes::Volume stick = stick_->volume();
    click(ctrl_->destinationButton());
    ui::ActionSheet* sheet = ctrl_->destinationSheet();
    ASSERT_NE(sheet, nullptr);
    int index = -1;
    QStringList offered;
    for (int i = 0; i < sheet->numberOfButtons(); ++i) {
        offered << sheet->buttonTitleAtIndex(i);
        if (sheet->buttonTitleAtIndex(i).startsWith(stick.name + " ("))
            index = i;
    }
    ASSERT_GE(index, 1) << "the stick is not offered: " << offered.join(", ").toStdString();
    EXPECT_EQ(sheet->buttonTitleAtIndex(0), "Documents folder");
    ASSERT_TRUE(processEventsUntil([&] { return sheet->buttonAtIndex(index) && sheet->buttonAtIndex(index)->isVisible(); }));
    click(sheet->buttonAtIndex(index));
    EXPECT_EQ(ctrl_->destinationButton()->text(), "Save to: " + stick.name);
    EXPECT_EQ(ctrl_->destination().rootPath, stick_->mountPoint());

    click(ctrl_->selectButton());
    auto* picker = qobject_cast<medialibrary::MediaPickerController*>(ctrl_->modalViewController());
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return picker->view()->geometry() == window_.contentRect(); }));
    std::vector<songgen::Song> picked;
    for (int row = 0; row < 3; ++row) {
        picker->tapRow(row);
        picked.push_back(songTitled(picker->itemAtRow(row).title()));
    }
    picker->done();
    ASSERT_TRUE(processEventsUntil([&] { return !ctrl_->modalViewController() && ctrl_->view()->isVisible(); }));
    click(ctrl_->convButton());
    auto* conversion = qobject_cast<CompletedWorkViewController*>(ctrl_->modalViewController());
    ASSERT_NE(conversion, nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return conversion->run().isFinished(); }, 60000));
    EXPECT_EQ(conversion->run().failedItemCount(), 0u) << conversion->run().failureReasons().join("; ").toStdString();
    EXPECT_EQ(conversion->run().documentsDirectory(), stick_->mountPoint());
    for (const songgen::Song& s : picked)
        EXPECT_FALSE(outputOf(stick_->mountPoint(), s).isEmpty()) << s.title.toStdString();
    EXPECT_EQ(filesIn(stick_->mountPoint()).size(), 3);
    EXPECT_TRUE(filesIn(home_.file("Documents")).isEmpty());

    ui::ActionSheet* menu = conversion->actionSheetMulti();
    ASSERT_TRUE(processEventsUntil([&] { return menu->buttonAtIndex(0) && menu->buttonAtIndex(0)->isVisible(); }));
    click(menu->buttonAtIndex(0)); // File manager
    auto* browser = qobject_cast<FileManagerViewController*>(conversion->modalViewController());
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->documentDirectory(), stick_->mountPoint());
    EXPECT_TRUE(browser->files().contains(picked[0].artist)) << browser->files().join(", ").toStdString();
    EXPECT_FALSE(browser->files().contains(".ripwell-record"));
}

// Pulled out after the first song: that song stays whole on the stick, the
// others fail saying the stick is gone, nothing is written into the bare
// folder it was mounted on (not even error.log, whose absence the alert
// explains). A stick gone before a run fails every song the same way.
TEST_F(StickTest, AStickPulledOutFailsTheRestAndKeepsWhatWasWritten)
{
    const volumes::Volume stick = stick_->volume();
    ASSERT_FALSE(stick.isNull());
    auto* screen = new PulledOutScreen(folder_);
    screen->stick = stick_.get();
    screen->setDestination(stick);
    ctrl_->presentModalViewController(screen, false);
    const SelectionMap three = selectionOf(3);
    screen->exportMedia(three);
    ASSERT_TRUE(processEventsUntil([&] { return screen->run().isFinished(); }, 60000));
    ASSERT_TRUE(processEventsUntil([&] { return screen->alertConversionFailed()->isVisible(); }));

    const QString gone = volumes::goneReason(stick);
    ASSERT_FALSE(gone.isEmpty());
    EXPECT_TRUE(gone.contains(stick.name));
    EXPECT_EQ(screen->run().failedItemCount(), 2u);
    EXPECT_EQ(screen->run().failureReasons(), QStringList({gone, gone}));
    EXPECT_TRUE(screen->alertConversionFailed()->message().contains(gone)) << screen->alertConversionFailed()->message().toStdString();
    EXPECT_TRUE(screen->alertConversionFailed()->message().contains("error.log"));
    EXPECT_TRUE(QDir(stick_->mountPoint()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
        << "written into the folder the stick was mounted on";
    screen->alertConversionFailed()->buttonAtIndex(0)->click();
    ctrl_->dismissModalViewControllerAnimated(false);
    ASSERT_TRUE(stick_->waitUntilGone()) << "the stick's file system did not end";

    // Plugged in again: the first song, whole, and nothing else.
    ASSERT_TRUE(stick_->mount(false));
    const songgen::Song& first = songTitled(three.objectForKey(three.allKeys().front()).title());
    const QString out = outputOf(stick_->mountPoint(), first);
    EXPECT_FALSE(out.isEmpty());
    EXPECT_EQ(filesIn(stick_->mountPoint()), QStringList({out}));

    // Gone before the run: every song fails, and the bare folder stays empty.
    stick_->detach();
    ASSERT_TRUE(stick_->waitUntilGone());
    auto* late = new CompletedWorkViewController(folder_);
    late->setDestination(stick);
    ctrl_->presentModalViewController(late, false);
    late->exportMedia(three);
    ASSERT_TRUE(processEventsUntil([&] { return late->run().isFinished(); }, 60000));
    EXPECT_EQ(late->run().failedItemCount(), 3u);
    EXPECT_EQ(late->run().failureReasons(), QStringList({gone, gone, gone}));
    EXPECT_TRUE(QDir(stick_->mountPoint()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    EXPECT_TRUE(filesIn(home_.file("Documents")).isEmpty());
}

} // namespace

namespace {

// Every file under `dir` with its size, time and bytes' hash.
QStringList contentOf(const QString& dir)
{
    QStringList out;
    for (const QString& file : filesIn(dir)) {
        const QFileInfo info(dir + "/" + file);
        out << QStringLiteral("%1 %2 %3 %4")
                   .arg(file)
                   .arg(info.size())
                   .arg(info.lastModified().toMSecsSinceEpoch())
                   .arg(QString::fromLatin1(
                       QCryptographicHash::hash(testsupport::readFile(info.filePath()), QCryptographicHash::Sha1).toHex()));
    }
    return out;
}

} // namespace

// An iPod on the stick: the select control offers it beside the music folder,
// the picker lists its songs as its database names them (their files say
// otherwise or nothing), the songs picked are converted under those names into
// the documents folder, and the iPod is offered as no destination and left as
// it was.
TEST_F(StickTest, AnIpodMountedIsOfferedAndItsSongsConvertedAsItsDatabaseNamesThem)
{
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home_.file("cache")));
    const auto noCache = qScopeGuard([] { qunsetenv("XDG_CACHE_HOME"); });
    const ipodmaker::Options options = ipodmaker::standardIpod();
    ASSERT_EQ(ipodmaker::makeIpod(stick_->mountPoint(), options).error, QString());
    const QStringList before = contentOf(stick_->mountPoint());
    const QString name = stick_->volume().name;

    click(ctrl_->destinationButton());
    ui::ActionSheet* destinations = ctrl_->destinationSheet();
    ASSERT_NE(destinations, nullptr);
    for (int i = 0; i < destinations->numberOfButtons(); ++i)
        EXPECT_FALSE(destinations->buttonTitleAtIndex(i).startsWith(name)) << "an iPod is no destination";
    const int cancel = destinations->cancelButtonIndex();
    ASSERT_TRUE(processEventsUntil([&] { return destinations->buttonAtIndex(cancel) && destinations->buttonAtIndex(cancel)->isVisible(); }));
    click(destinations->buttonAtIndex(cancel));
    ASSERT_TRUE(processEventsUntil([&] { return !destinations || !destinations->isVisible(); }));

    click(ctrl_->selectButton());
    ui::ActionSheet* sources = ctrl_->sourceSheet();
    ASSERT_NE(sources, nullptr);
    ASSERT_EQ(sources->numberOfButtons(), 3);
    EXPECT_EQ(sources->buttonTitleAtIndex(0), "Music folder");
    EXPECT_EQ(sources->buttonTitleAtIndex(1), "iPod: " + name);
    ASSERT_TRUE(processEventsUntil([&] { return sources->buttonAtIndex(1) && sources->buttonAtIndex(1)->isVisible(); }));
    click(sources->buttonAtIndex(1));
    medialibrary::MediaPickerController* picker = nullptr;
    ASSERT_TRUE(processEventsUntil([&] {
        picker = qobject_cast<medialibrary::MediaPickerController*>(ctrl_->modalViewController());
        return picker && picker->view()->geometry() == window_.contentRect();
    }, 30000));

    ASSERT_EQ(picker->numberOfRows(), int(options.tracks.size()));
    QStringList listed, expected;
    for (const ipodmaker::Track& t : options.tracks)
        expected << t.artist + " / " + t.title;
    int ticked = 0;
    for (int row = 0; row < picker->numberOfRows(); ++row) {
        const medialibrary::MediaItem item = picker->itemAtRow(row);
        listed << item.artist() + " / " + item.title();
        if (item.leftOutReason() == medialibrary::LeftOutReason::None && ticked < 3) {
            picker->tapRow(row);
            ++ticked;
        }
    }
    listed.sort();
    expected.sort();
    EXPECT_EQ(listed, expected);
    picker->done();
    ASSERT_TRUE(processEventsUntil([&] { return !ctrl_->modalViewController() && ctrl_->view()->isVisible(); }));
    click(ctrl_->convButton());
    auto* conversion = qobject_cast<CompletedWorkViewController*>(ctrl_->modalViewController());
    ASSERT_NE(conversion, nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return conversion->run().isFinished(); }, 60000));
    EXPECT_EQ(conversion->run().failedItemCount(), 0u) << conversion->run().failureReasons().join("; ").toStdString();

    // Named by the database: its artists, albums and titles, none of the files' own.
    const QStringList written = filesIn(home_.file("Documents"));
    ASSERT_EQ(written.size(), 3) << written.join(", ").toStdString();
    for (const QString& file : written) {
        const QStringList parts = file.split(u'/');
        ASSERT_EQ(parts.size(), 3) << file.toStdString();
        const QString title = QFileInfo(parts[2]).completeBaseName();
        EXPECT_TRUE(expected.contains(parts[0] + " / " + title)) << file.toStdString();
        EXPECT_EQ(mediaprobe::probe(home_.file("Documents/" + file)).title, title);
    }
    EXPECT_EQ(contentOf(stick_->mountPoint()), before) << "nothing is written to the iPod";
}
