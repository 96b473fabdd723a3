// The window app as a user meets it: started as the program starts it, driven
// by mouse clicks on the real buttons, rows, menus and alerts only, over a
// generated library, in English and in German. What counts is what the window
// shows and what ends up on disk.

#include "tests/e2e/Flows.h"

#include <QProcess>

using e2e::Flows;
using e2e::click;
using e2e::textsFor;
using testsupport::processEventsUntil;

namespace e2e {
testsupport::GeneratedLibrary* Flows::library_ = nullptr;
} // namespace e2e

namespace {

// Select three songs, one protected; convert the two; browse into the
// artist's album, delete one file, quit; back on the main screen.
TEST_P(Flows, PickConvertBrowseAndDelete)
{
    // The library's first three songs share artist and album: MP3, M4A, protected.
    const songgen::Song& mp3 = song(0);
    const songgen::Song& m4a = song(1);
    const songgen::Song& locked = song(2);
    ASSERT_EQ(locked.format, songgen::Format::Protected);
    ASSERT_TRUE(pick({mp3.title, locked.title, m4a.title}));

    ASSERT_TRUE(waitForAlert());
    processEventsUntil([&] { return still(); });
    shoot("skipped-alert");
    EXPECT_EQ(alertText(), L("Cannot handle DRM protected media.") + "\n" + L("Skipped files") + ": 1");
    ASSERT_TRUE(press(t().ok));
    ASSERT_TRUE(processEventsUntil([&] { return alertText().isEmpty(); }));
    ChooseSongViewController* screen = delegate_->ctrl();
    EXPECT_FALSE(screen->artworkView0()->isVisible());
    EXPECT_TRUE(screen->artworkView1()->isVisible());
    EXPECT_FALSE(screen->artworkView2()->isVisible());
    EXPECT_TRUE(screen->artworkView3()->isVisible());
    EXPECT_EQ(screen->bottomLabel()->text(), t().selectedItems + ": 2");

    ASSERT_TRUE(press(t().convert));
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(alertText().toStdString(), "");
    EXPECT_NE(button(t().transfer), nullptr);
    EXPECT_EQ(button(t().playback), nullptr); // two songs: the menu without playback
    processEventsUntil([&] { return still(); });
    shoot("completion-menu");
    ASSERT_TRUE(press(t().fileManager));

    ASSERT_TRUE(processEventsUntil([&] { return row(mp3.artist) != nullptr; }));
    EXPECT_EQ(rowTexts(), QStringList({mp3.artist}));
    ASSERT_TRUE(enter({mp3.artist, mp3.album}));
    const QString mp3Out = outputOf(mp3), m4aOut = outputOf(m4a);
    ASSERT_FALSE(mp3Out.isEmpty());
    ASSERT_FALSE(m4aOut.isEmpty());
    EXPECT_TRUE(mp3Out.startsWith(mp3.artist + "/" + mp3.album + "/") && mp3Out.endsWith(".mp3")) << mp3Out.toStdString();
    EXPECT_TRUE(m4aOut.startsWith(m4a.artist + "/" + m4a.album + "/") && m4aOut.endsWith(".m4a")) << m4aOut.toStdString();
    const QString mp3Row = QFileInfo(mp3Out).completeBaseName();
    const QString m4aRow = QFileInfo(m4aOut).completeBaseName();
    EXPECT_TRUE(rowTexts().contains(mp3Row) && rowTexts().contains(m4aRow)) << rowTexts().join(", ").toStdString();
    ASSERT_TRUE(deleteRow(mp3Row));
    EXPECT_FALSE(QFile::exists(documents() + "/" + mp3Out));

    panels_->messages.clear();
    ASSERT_TRUE(press(t().done));
    ASSERT_TRUE(processEventsUntil([&] { return mainScreenShows(); }));
    ASSERT_TRUE(processEventsUntil([&] { return !panels_->messages.isEmpty(); }));
    EXPECT_EQ(panels_->messages.front(), L("Create backups by extracting your songs from your music library."));
    EXPECT_FALSE(screen->convButton()->isVisible());
    EXPECT_FALSE(screen->artworkView1()->isVisible());

    // On disk: the M4A alone, its audio that of the library's song.
    EXPECT_EQ(filesIn(documents()), QStringList({m4aOut}));
    EXPECT_EQ(outputOf(m4a), m4aOut);
    EXPECT_TRUE(mediaprobe::probe(documents() + "/" + m4aOut).opened);
}

// One song, a FLAC: it previews; converted, it plays, stops, is mailed
// (cancelled), the transfer help opens its page, and Next returns.
TEST_P(Flows, OneSongPlayMailTransferAndNext)
{
    const songgen::Song one = song(3);
    ASSERT_EQ(one.format, songgen::Format::Flac);
    ASSERT_TRUE(pick({one.title}));
    EXPECT_EQ(alertText().toStdString(), "");
    EXPECT_EQ(delegate_->ctrl()->topLabel()->text(), one.artist);
    EXPECT_EQ(delegate_->ctrl()->bottomLabel()->text(), one.title);
    playback::Player* preview = AudioPlayerHelper::sharedInstance()->player();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isPlaying());

    ASSERT_TRUE(press(t().convert));
    EXPECT_EQ(AudioPlayerHelper::sharedInstance()->player(), nullptr); // the preview stops
    ASSERT_TRUE(runEnds());
    const QString out = outputOf(one);
    ASSERT_FALSE(out.isEmpty());

    ASSERT_TRUE(press(t().playback));
    ASSERT_TRUE(processEventsUntil([&] { return button(t().stopPlayback) != nullptr; }));
    playback::Player* player = AudioPlayerHelper::sharedInstance()->player();
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->url().path(), documents() + "/" + out);
    EXPECT_TRUE(player->isPlaying());
    ASSERT_TRUE(press(t().stopPlayback));
    EXPECT_EQ(AudioPlayerHelper::sharedInstance()->player(), nullptr);

    ASSERT_TRUE(press(t().email));
    QLabel* attachment = nullptr;
    ASSERT_TRUE(processEventsUntil([&] {
        attachment = window()->findChild<QLabel*>("attachmentNameLabel");
        return attachment && attachment->isVisible() && button(t().cancel);
    }));
    EXPECT_EQ(attachment->text(), QFileInfo(out).fileName());
    ASSERT_TRUE(press(t().cancel));

    testsupport::UrlCatcher catcher("file");
    ASSERT_TRUE(press(t().transfer));
    ASSERT_TRUE(waitForAlert());
    ASSERT_TRUE(press("WWW"));
    ASSERT_TRUE(processEventsUntil([&] { return button(t().next) != nullptr; }));
    ASSERT_EQ(catcher.opened.size(), 1);
    const QByteArray page = testsupport::readFile(catcher.opened.front().toLocalFile());
    EXPECT_TRUE(catcher.opened.front().toLocalFile().startsWith(home_.file(".local/share")));
    EXPECT_TRUE(page.contains(documents().toUtf8())) << "the help page names the documents folder";

    ASSERT_TRUE(press(t().next));
    ASSERT_TRUE(processEventsUntil([&] { return mainScreenShows(); }));
    EXPECT_EQ(filesIn(documents()), QStringList({out}));
    EXPECT_EQ(outputOf(one), out);
}

// Thirty songs: the question; Cancel changes nothing; OK converts all.
TEST_P(Flows, ThirtySongsAskFirst)
{
    const std::vector<songgen::Song> thirty = playable(30);
    ASSERT_EQ(thirty.size(), 30u);
    ASSERT_TRUE(pick(titles(thirty)));
    EXPECT_EQ(delegate_->ctrl()->bottomLabel()->text(), t().selectedItems + ": 30");

    ASSERT_TRUE(press(t().convert));
    ASSERT_TRUE(waitForAlert());
    EXPECT_TRUE(alertText().contains("25"));
    ASSERT_TRUE(press(t().cancel));
    ASSERT_TRUE(processEventsUntil([&] { return alertText().isEmpty(); }));
    processEventsUntil([] { return false; }, 50);
    EXPECT_TRUE(mainScreenShows());
    EXPECT_EQ(delegate_->ctrl()->bottomLabel()->text(), t().selectedItems + ": 30");
    EXPECT_TRUE(delegate_->ctrl()->convButton()->isVisible());
    EXPECT_TRUE(filesIn(documents()).isEmpty());

    ASSERT_TRUE(press(t().convert));
    ASSERT_TRUE(waitForAlert());
    ASSERT_TRUE(press(t().ok));
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(alertText().toStdString(), "");
    EXPECT_EQ(filesIn(documents()).size(), 30);
    for (const songgen::Song& s : thirty)
        EXPECT_FALSE(outputOf(s).isEmpty()) << s.title.toStdString();
    ASSERT_TRUE(press(t().next));
    ASSERT_TRUE(processEventsUntil([&] { return mainScreenShows(); }));
}

// Broken songs fail: the alert; error.log in the browser, whole, and mailable.
TEST_P(Flows, FailuresLeaveAnErrorLogToReadAndMail)
{
    const songgen::Song good = playable(1).front();
    ASSERT_TRUE(pick({good.title, "Truncated MP3"}));
    EXPECT_EQ(alertText().toStdString(), "");
    ASSERT_TRUE(press(t().convert));
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(alertText(), L("%1 of %2 songs could not be converted.").arg(1).arg(2) + " " +
                               L("For details see error.log in %1.").arg(documents()));
    ASSERT_TRUE(press(t().ok));
    EXPECT_FALSE(log_.lines().filter("[ERROR]").isEmpty());
    ASSERT_TRUE(processEventsUntil([&] { return alertText().isEmpty(); })) << alertText().toStdString();

    ASSERT_TRUE(press(t().fileManager));
    ASSERT_TRUE(processEventsUntil([&] { return row("error.log") != nullptr; }));
    ui::TableViewCell* logRow = row("error.log");
    EXPECT_EQ(logRow->textLabel()->text(), "error.log"); // the name whole, extension and all
    EXPECT_TRUE(QFile::exists(documents() + "/error.log"));
    const QByteArray log = testsupport::readFile(documents() + "/error.log");
    EXPECT_TRUE(QString::fromUtf8(log).endsWith("\nBroken, Truncated MP3: " + L("the song's file ends before its audio does") + "\n"))
        << log.toStdString();

    QWidget* mail = logRow->accessoryView();
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(mail->accessibleName(), t().mailButton);
    click(mail);
    QLabel* attachment = nullptr;
    ASSERT_TRUE(processEventsUntil([&] {
        attachment = window()->findChild<QLabel*>("attachmentNameLabel");
        return attachment && attachment->isVisible() && button(t().cancel);
    }));
    EXPECT_EQ(attachment->text(), "error.log");
    ASSERT_TRUE(press(t().cancel));
    ASSERT_TRUE(processEventsUntil([&] { return row("error.log") != nullptr; }));
    ASSERT_TRUE(press(t().done));
    ASSERT_TRUE(processEventsUntil([&] { return mainScreenShows(); }));
    EXPECT_FALSE(outputOf(good).isEmpty());
    EXPECT_EQ(testsupport::readFile(documents() + "/error.log"), log);
}

// A library with a playlist: ticked in the picker's Playlists view, it
// converts its songs, and the run writes its list, which finds them in the
// playlist's order; the end of the run counts the entries left out.
class PlaylistFlows : public Flows {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QProcess::execute("cp", {"-a", library_->path() + "/.", lib_.path()}), 0);
        const QDir root(library_->path());
        ASSERT_EQ(song(2).format, songgen::Format::Protected);
        QByteArray list = "#EXTM3U\n";
        for (int i : {4, 1, 2})
            list += "../" + root.relativeFilePath(song(i).path).toUtf8() + "\n";
        list += "../Nobody/Gone.mp3\n";
        QDir().mkpath(lib_.file("Lists"));
        ASSERT_TRUE(testsupport::writeFile(lib_.file("Lists/Party Mix.m3u8"), list));
        Flows::SetUp();
    }
    QString libraryRoot() const override { return lib_.path(); }
    testsupport::TempDir lib_;
};

TEST_P(PlaylistFlows, APlaylistTickedInThePickerIsConvertedAndWritten)
{
    ASSERT_NE(openPicker(), nullptr);
    ASSERT_TRUE(press(L("Playlists")));
    QListView* list = pickerList();
    ASSERT_TRUE(list && processEventsUntil([&] { return list->model()->rowCount() == 1; }));
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "Party Mix");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
    shoot("picker-playlists");
    ASSERT_TRUE(press(t().done));
    ASSERT_TRUE(processEventsUntil([&] { return mainScreenShows(); }));
    EXPECT_EQ(delegate_->ctrl()->bottomLabel()->text(), t().selectedItems + ": 2") << "the protected song is not ticked";

    ASSERT_TRUE(press(t().convert));
    ASSERT_TRUE(runEnds());
    const QString summary = L("Playlists written: %1, entries left out: %2, failed: %3").arg("1", "2", "0");
    EXPECT_TRUE(processEventsUntil([&] {
        for (QLabel* label : window()->findChildren<QLabel*>())
            if (label->isVisible() && label->text().endsWith(summary))
                return true;
        return false;
    })) << "the menu's title counts the entries left out";
    processEventsUntil([&] { return still(); });
    shoot("playlist-completion");

    // Each line of the written list leads to its song's file, in the playlist's order.
    QStringList lines = QString::fromUtf8(testsupport::readFile(documents() + "/Playlists/Party Mix.m3u8")).split(u'\n');
    ASSERT_EQ(lines.size(), 6) << lines.join(u'|').toStdString();
    EXPECT_EQ(lines[0], "#EXTM3U");
    EXPECT_EQ(QDir::cleanPath(documents() + "/Playlists/" + lines[2]), documents() + "/" + outputOf(song(4)));
    EXPECT_EQ(QDir::cleanPath(documents() + "/Playlists/" + lines[4]), documents() + "/" + outputOf(song(1)));
    EXPECT_TRUE(lines[1].startsWith("#EXTINF:") && lines[1].endsWith(song(4).artist + " - " + song(4).title));
}

INSTANTIATE_TEST_SUITE_P(Languages, PlaylistFlows, ::testing::Values("en", "de"),
                         [](const ::testing::TestParamInfo<std::string>& param) { return param.param; });

INSTANTIATE_TEST_SUITE_P(Languages, Flows, ::testing::Values("en", "de"),
                         [](const ::testing::TestParamInfo<std::string>& param) { return param.param; });

} // namespace
