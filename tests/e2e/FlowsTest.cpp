// The window app as a user meets it: started as the program starts it, driven
// by mouse clicks on the real buttons, rows, menus and alerts only, over a
// generated library, in English and in German. What counts is what the window
// shows and what ends up on disk.

#include "Classes/AudioPlayerHelper.h"
#include "Classes/ChooseSongViewController.h"
#include "Classes/RipwellAppDelegate.h"
#include "Classes/SlidingMessageViewController.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/Timing.h"
#include "platform/library/MediaLibrary.h"
#include "platform/playback/Player.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UrlCatcher.h"
#include "tools/make_library/SongGenerator.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QDirIterator>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>

using testsupport::processEventsUntil;

namespace {

// The texts a user reads on the buttons, in each language.
struct Texts {
    QString selectSongs, done, cancel, ok, convert, fileManager, transfer, next, playback, stopPlayback, email,
        edit, del, selectedItems, mailButton;
};

const Texts& textsFor(const std::string& language)
{
    static const Texts english{"Select songs", "Done", "Cancel", "OK", "Convert", "File manager",
                               "Transfer to computer", "Next", "Playback media file", "Stop playback",
                               "E-Mail media file", "Edit", "Delete", "Selected items", "E-Mail"};
    static const Texts german{"Titel auswählen", "Fertig", "Abbrechen", "OK", "Konvertieren", "Dateimanager",
                              "Auf den Computer übertragen", "Weiter", "Mediendatei abspielen", "Wiedergabe beenden",
                              "Mediendatei per E-Mail senden", "Bearbeiten", "Löschen", "Ausgewählte Titel",
                              "E-Mail"};
    return language == "de" ? german : english;
}

// Notes the message of every welcome panel that comes into the main screen.
class PanelRecorder : public QObject {
public:
    explicit PanelRecorder(QWidget* view) { view->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::ChildAdded) {
            auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child());
            if (auto* panel = qobject_cast<SlidingMessageViewController*>(ui::ViewController::controllerOfView(child)))
                messages.append(panel->messageLabel()->text());
        }
        return false;
    }
    QStringList messages;
};

void click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

class Flows : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite()
    {
        testsupport::silencePlatformMessages();
        library_ = new testsupport::TempDir;
        songgen::Options options;
        options.songs = 48; // 32 that the library hands over, 16 protected
        options.seconds = 0.1;
        options.formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::Protected};
        options.broken = true;
        QString error;
        songs_ = songgen::makeLibrary(library_->path(), options, &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }
    static void TearDownTestSuite()
    {
        delete library_;
        library_ = nullptr;
        testsupport::restorePlatformMessages();
    }

    // Starts the application as the program does, in a home of its own.
    void SetUp() override
    {
        ASSERT_NE(library_, nullptr);
        if (GetParam() != "en") {
            ASSERT_TRUE(localization::install(QString::fromStdString(GetParam())));
        }
        timing::setScale(0.02);
        qputenv("RIPWELL_DOCUMENTS", QFile::encodeName(documents()));
        qputenv("RIPWELL_LIBRARY", QFile::encodeName(library_->path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_.file(".local/share")));
        medialibrary::MediaLibrary::setDefaultMediaLibrary(nullptr); // scanned afresh at start

        delegate_ = std::make_unique<RipwellAppDelegate>();
        ui::Application::sharedApplication()->setDelegate(delegate_.get());
        panels_ = std::make_unique<PanelRecorder>(delegate_->ctrl()->view());
        ASSERT_TRUE(delegate_->application(ui::Application::sharedApplication(), {}));
    }
    void TearDown() override
    {
        AudioPlayerHelper::sharedInstance()->stopPlayback();
        panels_.reset();
        ui::Application::sharedApplication()->setDelegate(nullptr);
        delegate_.reset();
        QCoreApplication::processEvents();
        medialibrary::MediaLibrary::setDefaultMediaLibrary(nullptr);
        qunsetenv("RIPWELL_DOCUMENTS");
        qunsetenv("RIPWELL_LIBRARY");
        qunsetenv("XDG_DATA_HOME");
        localization::install("en");
        timing::setScale(1.0);
    }

    const Texts& t() const { return textsFor(GetParam()); }
    // With RIPWELL_SHOT_DIR set, the window as it is now, for looking at.
    void shoot(const char* name) const
    {
        if (qEnvironmentVariableIsEmpty("RIPWELL_SHOT_DIR"))
            return;
        window()->grab().save(QStringLiteral("%1/e2e-%2-%3.png")
                                  .arg(qEnvironmentVariable("RIPWELL_SHOT_DIR"), QLatin1String(name),
                                       QString::fromStdString(GetParam())));
    }
    QString documents() const { return home_.file("Documents/Ripwell"); }
    ui::Window* window() const { return delegate_->window(); }

    // ---- What is on screen ------------------------------------------------

    // A visible button of the window with this text (menus, alerts, screens), or nullptr.
    QAbstractButton* button(const QString& text) const
    {
        for (QAbstractButton* b : window()->findChildren<QAbstractButton*>())
            if (b->isVisible() && b->isEnabled() && (b->text() == text || b->accessibleName() == text))
                return b;
        return nullptr;
    }
    // Whether nothing in the window slides or fades: a user taps what stands still.
    bool still() const
    {
        for (QWidget* w : window()->findChildren<QWidget*>())
            if (ui::isAnimating(w))
                return false;
        return true;
    }
    // Waits for the button and clicks it.
    bool press(const QString& text)
    {
        if (!processEventsUntil([&] { return button(text) != nullptr && still(); })) {
            QStringList shown;
            for (QAbstractButton* b : window()->findChildren<QAbstractButton*>())
                if (b->isVisible())
                    shown << b->text();
            ADD_FAILURE() << "no button " << text.toStdString() << "; shown: " << shown.join(", ").toStdString();
            return false;
        }
        click(button(text));
        return true;
    }
    // The message of the alert on screen, or an empty text.
    QString alertText() const
    {
        for (QLabel* label : window()->findChildren<QLabel*>("message"))
            if (label->isVisible())
                return label->text();
        return {};
    }
    bool waitForAlert() { return processEventsUntil([&] { return !alertText().isEmpty(); }); }
    bool mainScreenShows() const
    {
        if (delegate_->ctrl()->modalViewController() || !delegate_->ctrl()->view()->isVisible())
            return false;
        // Nothing else on screen but the main screen (a screen on its way out included).
        for (QWidget* w : window()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w->isVisible() && ui::ViewController::controllerOfView(w) && w != delegate_->ctrl()->view())
                return false;
        return true;
    }
    // The picker's list on screen, or nullptr.
    QListView* pickerList() const
    {
        for (QListView* list : window()->findChildren<QListView*>())
            if (list->isVisible())
                return list;
        return nullptr;
    }
    // The browser's table on screen, or nullptr.
    ui::TableView* table() const
    {
        for (ui::TableView* table : window()->findChildren<ui::TableView*>())
            if (table->isVisible())
                return table;
        return nullptr;
    }
    // The visible browser row showing `text`, or nullptr.
    ui::TableViewCell* row(const QString& text) const
    {
        if (!table())
            return nullptr;
        for (ui::TableViewCell* cell : table()->visibleCells())
            if (cell->isVisible() && cell->textLabel()->text() == text)
                return cell;
        return nullptr;
    }
    QStringList rowTexts() const
    {
        QStringList out;
        if (table())
            for (ui::TableViewCell* cell : table()->visibleCells())
                out << cell->textLabel()->text();
        return out;
    }
    bool tableSettled() const
    {
        if (!table())
            return false;
        for (ui::TableViewCell* cell : table()->visibleCells())
            if (ui::isAnimating(cell))
                return false;
        return true;
    }
    static QAccessibleInterface* accessible(QObject* object) { return QAccessible::queryAccessibleInterface(object); }
    // Visible controls that a screen reader could not name.
    QStringList unnamedControls() const
    {
        QStringList out;
        for (QAbstractButton* b : window()->findChildren<QAbstractButton*>())
            if (b->isVisible()) {
                QAccessibleInterface* a = accessible(b);
                if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
                    out << QStringLiteral("%1 %2").arg(b->metaObject()->className(), b->objectName());
            }
        return out;
    }
    bool tapRow(const QString& text)
    {
        if (!processEventsUntil([&] { return row(text) != nullptr && tableSettled(); }))
            return false;
        QTest::mouseClick(row(text), Qt::LeftButton, {}, QPoint(40, row(text)->height() / 2));
        return true;
    }

    // ---- What the user does -----------------------------------------------

    // Opens the picker, taps the rows showing these titles, then Done.
    bool pick(const QStringList& titles)
    {
        if (!press(t().selectSongs))
            return false;
        // Up, and the library read whole.
        if (!processEventsUntil([&] {
                QListView* list = pickerList();
                return list && list->window() == window() && list->parentWidget()->geometry() == window()->contentRect()
                    && medialibrary::MediaLibrary::loadedDefaultMediaLibrary();
            }))
            return false;
        processEventsUntil([] { return false; }, 2 * 200 * 0.02 + 20); // the picker's last fill-in tick
        QListView* list = pickerList();
        for (const QString& title : titles) {
            int found = -1;
            for (int r = 0; r < list->model()->rowCount(); ++r)
                if (list->model()->index(r, 0).data().toString() == title)
                    found = r;
            if (found < 0) {
                QStringList rows;
                for (int r = 0; r < list->model()->rowCount(); ++r)
                    rows << list->model()->index(r, 0).data().toString();
                ADD_FAILURE() << "no row " << title.toStdString() << " among " << rows.join(", ").toStdString();
                return false;
            }
            const QModelIndex index = list->model()->index(found, 0);
            list->scrollTo(index);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
        }
        if (!press(t().done))
            return false;
        return processEventsUntil([&] { return mainScreenShows(); });
    }

    // Waits until a run shows its end: a menu button or the failure alert.
    bool runEnds()
    {
        return processEventsUntil([&] { return button(t().next) || !alertText().isEmpty(); }, 60000);
    }

    // Enters the browser rows named, one after another.
    bool enter(const QStringList& rows)
    {
        for (const QString& name : rows) {
            if (!tapRow(name))
                return false;
            if (!processEventsUntil([&] { return row("..") != nullptr && !row(name); }))
                return false;
        }
        return true;
    }

    // Deletes a browser row: Edit, the row's delete control, its Delete button.
    bool deleteRow(const QString& text)
    {
        if (!press(t().edit))
            return false;
        ui::TableViewCell* cell = row(text);
        if (!cell || !processEventsUntil([&] { return cell->deleteControl()->isVisible() && !ui::isAnimating(cell->deleteControl()); }))
            return false;
        click(cell->deleteControl());
        if (!processEventsUntil([&] { return cell->deleteConfirmationButton() && cell->deleteConfirmationButton()->isVisible(); }))
            return false;
        EXPECT_EQ(cell->deleteConfirmationButton()->text(), t().del);
        click(cell->deleteConfirmationButton());
        return processEventsUntil([&] { return !row(text) && tableSettled(); });
    }

    // ---- What is on disk --------------------------------------------------

    QStringList filesIn(const QString& dir) const
    {
        QStringList out;
        for (QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
            if (const QString file = QDir(dir).relativeFilePath(it.next()); !testsupport::isFolderBookkeeping(file))
                out << file;
        out.sort();
        return out;
    }
    // The file of the documents folder that holds exactly `song`'s audio, or an empty text.
    QString outputOf(const songgen::Song& song) const
    {
        const QByteArray audio = mediaprobe::probe(song.path).audio();
        if (audio.isEmpty())
            return {};
        for (const QString& file : filesIn(documents()))
            if (mediaprobe::probe(documents() + "/" + file).audio() == audio)
                return file;
        return {};
    }

    static const songgen::Song& song(int index) { return songs_[std::size_t(index)]; }
    // The first `n` songs that the library hands over.
    static std::vector<songgen::Song> playable(std::size_t n)
    {
        std::vector<songgen::Song> out;
        for (const songgen::Song& s : songs_)
            if (out.size() < n && s.format != songgen::Format::Protected && !s.broken)
                out.push_back(s);
        return out;
    }
    static QStringList titles(const std::vector<songgen::Song>& songs)
    {
        QStringList out;
        for (const songgen::Song& s : songs)
            out << s.title;
        return out;
    }

    static testsupport::TempDir* library_;
    static std::vector<songgen::Song> songs_;
    testsupport::LogCapture log_; // the runs' lines, the broken songs' errors among them
    testsupport::TempDir home_;
    std::unique_ptr<RipwellAppDelegate> delegate_;
    std::unique_ptr<PanelRecorder> panels_;
};

testsupport::TempDir* Flows::library_ = nullptr;
std::vector<songgen::Song> Flows::songs_;

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
    EXPECT_EQ(alertText(), L("Cannot handle DRM protected media. For details see error.log in iTunes File Sharing.")
                               + "\n" + L("Skipped files") + ": 1");
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
    EXPECT_EQ(panels_->messages.front(), L("Create backups by extracting your songs from the iPod music library."));
    EXPECT_FALSE(screen->convButton()->isVisible());
    EXPECT_FALSE(screen->artworkView1()->isVisible());

    // On disk: the M4A alone, its audio that of the library's song.
    EXPECT_EQ(filesIn(documents()), QStringList({m4aOut}));
    EXPECT_EQ(outputOf(m4a), m4aOut);
    EXPECT_TRUE(mediaprobe::probe(documents() + "/" + m4aOut).opened);
}

// One song: it previews; converted, it plays, stops, is mailed (cancelled),
// the transfer help opens its page, and Next returns.
TEST_P(Flows, OneSongPlayMailTransferAndNext)
{
    const songgen::Song one = playable(1).front();
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
    EXPECT_TRUE(alertText().startsWith(
        L("Cannot handle DRM protected media. For details see error.log in iTunes File Sharing.")))
        << alertText().toStdString();
    ASSERT_TRUE(press(t().ok));
    EXPECT_FALSE(log_.lines().filter("[ERROR]").isEmpty());
    ASSERT_TRUE(processEventsUntil([&] { return alertText().isEmpty(); })) << alertText().toStdString();

    ASSERT_TRUE(press(t().fileManager));
    ASSERT_TRUE(processEventsUntil([&] { return row("error.log") != nullptr; }));
    ui::TableViewCell* logRow = row("error.log");
    EXPECT_EQ(logRow->textLabel()->text(), "error.log"); // the name whole, extension and all
    EXPECT_TRUE(QFile::exists(documents() + "/error.log"));
    const QByteArray log = testsupport::readFile(documents() + "/error.log");
    EXPECT_TRUE(log.contains("Truncated")) << log.toStdString();

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

// What a screen reader and a keyboard user get along the first flow: every
// control named, rows that say whether they are ticked, the alert's text,
// the progress as a value, table rows by their text, and focus that reaches
// the controls in order and presses them.
TEST_P(Flows, ScreenReaderAndKeyboardReachEveryControl)
{
    window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window()));
    ChooseSongViewController* screen = delegate_->ctrl();
    EXPECT_EQ(unnamedControls(), QStringList());
    EXPECT_EQ(accessible(screen->fileManagerButton())->text(QAccessible::Name), t().fileManager);

    // The picker: its controls named, a row says whether it is ticked.
    ASSERT_TRUE(press(t().selectSongs));
    ASSERT_TRUE(processEventsUntil([&] { return pickerList() && medialibrary::MediaLibrary::loadedDefaultMediaLibrary(); }));
    processEventsUntil([] { return false; }, 30);
    EXPECT_EQ(unnamedControls(), QStringList());
    QListView* list = pickerList();
    const auto rowState = [&](const QString& title) {
        QAccessibleInterface* table = accessible(list);
        for (int i = 0; table && i < table->childCount(); ++i)
            if (QAccessibleInterface* cell = table->child(i); cell && cell->text(QAccessible::Name) == title)
                return std::optional<QAccessible::State>(cell->state());
        return std::optional<QAccessible::State>();
    };
    const songgen::Song& mp3 = song(0);
    ASSERT_TRUE(rowState(mp3.title).has_value());
    EXPECT_TRUE(rowState(mp3.title)->checkable);
    EXPECT_FALSE(rowState(mp3.title)->checked);
    // By keyboard: Tab reaches the list on its first row, Space ticks and
    // unticks the row, Down moves on.
    list->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), list);
    ASSERT_EQ(list->currentIndex().row(), 0);
    const QString first = list->model()->index(0, 0).data().toString();
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_TRUE(rowState(first)->checked);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(rowState(first)->checked);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentIndex().row(), 1);
    const QModelIndex mp3Row = [&] {
        for (int r = 0; r < list->model()->rowCount(); ++r)
            if (list->model()->index(r, 0).data().toString() == mp3.title)
                return list->model()->index(r, 0);
        return QModelIndex();
    }();
    const QModelIndex lockedRow = list->model()->index(mp3Row.row() + 2, 0);
    ASSERT_EQ(lockedRow.data().toString(), song(2).title);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(mp3Row).center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(lockedRow).center());
    EXPECT_TRUE(rowState(mp3.title)->checked);
    ASSERT_TRUE(press(t().done));
    ASSERT_TRUE(processEventsUntil([&] { return mainScreenShows(); }));

    // The alert: its box reads the message; the keyboard is on its button.
    ASSERT_TRUE(waitForAlert());
    QAccessibleInterface* alert = nullptr;
    for (QWidget* w : window()->findChildren<QWidget*>())
        if (w->isVisible() && accessible(w) && accessible(w)->role() == QAccessible::AlertMessage)
            alert = accessible(w);
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->text(QAccessible::Description).endsWith(L("Skipped files") + ": 1"));
    EXPECT_EQ(unnamedControls(), QStringList());
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(qobject_cast<QAbstractButton*>(QApplication::focusWidget())->text(), t().ok);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    ASSERT_TRUE(processEventsUntil([&] { return alertText().isEmpty(); }));

    // Tab walks the main screen's controls: select, convert, file manager.
    screen->selectButton()->setFocus(Qt::TabFocusReason);
    QStringList order{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(order, QStringList({"selectButton", "convButton", "fileManagerButton", "selectButton"}));

    // Convert by keyboard; the progress is a value, 100 at the end.
    screen->convButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(screen->convButton(), Qt::Key_Space);
    ASSERT_TRUE(runEnds());
    auto* activity = window()->findChild<QWidget*>("activityView");
    ASSERT_NE(activity, nullptr);
    QAccessibleInterface* bar = accessible(activity);
    EXPECT_EQ(bar->role(), QAccessible::ProgressBar);
    EXPECT_EQ(bar->text(QAccessible::Name), L("Progress"));
    ASSERT_NE(bar->valueInterface(), nullptr);
    // The value is the percentage on screen.
    const QString percent = window()->findChild<QLabel*>("progressLabel")->text();
    EXPECT_EQ(bar->valueInterface()->currentValue().toDouble(), percent.chopped(1).toDouble()) << percent.toStdString();
    EXPECT_EQ(bar->text(QAccessible::Value), percent);
    EXPECT_EQ(bar->valueInterface()->maximumValue().toDouble(), 100.0);
    // The completion menu takes the keyboard on its first button; Tab walks
    // down the menu to "File manager".
    const auto focusedText = [] {
        auto* focused = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        return focused ? focused->text() : QString();
    };
    ASSERT_TRUE(processEventsUntil([&] { return focusedText() == t().playback && still(); }));
    EXPECT_EQ(unnamedControls(), QStringList());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(focusedText(), t().email);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(focusedText(), t().fileManager);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);

    // The browser: rows named by their text, mail buttons and delete controls named.
    ASSERT_TRUE(processEventsUntil([&] { return row(mp3.artist) != nullptr; }));
    EXPECT_EQ(accessible(row(mp3.artist))->text(QAccessible::Name), mp3.artist);
    row(mp3.artist)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(row(mp3.artist), Qt::Key_Return); // a row opens by keyboard too
    ASSERT_TRUE(processEventsUntil([&] { return row(mp3.album) != nullptr && tableSettled(); }));
    ASSERT_TRUE(enter({mp3.album}));
    EXPECT_EQ(unnamedControls(), QStringList());
    QStringList mailNames;
    for (ui::TableViewCell* cell : table()->visibleCells())
        if (cell->accessoryView())
            mailNames << accessible(cell->accessoryView())->text(QAccessible::Name);
    EXPECT_EQ(mailNames, QStringList({t().mailButton}));
    ASSERT_TRUE(press(t().edit));
    ASSERT_TRUE(processEventsUntil([&] { return tableSettled(); }));
    EXPECT_EQ(unnamedControls(), QStringList());
    for (ui::TableViewCell* cell : table()->visibleCells())
        if (cell->deleteControl() && cell->deleteControl()->isVisible()) {
            EXPECT_EQ(accessible(cell->deleteControl())->text(QAccessible::Name), t().del);
        }
    ASSERT_TRUE(press(t().done));
    ASSERT_TRUE(processEventsUntil([&] { return mainScreenShows(); }));
}

INSTANTIATE_TEST_SUITE_P(Languages, Flows, ::testing::Values("en", "de"),
                         [](const ::testing::TestParamInfo<std::string>& param) { return param.param; });

} // namespace
