#pragma once
// The window app as a user meets it: started as the program starts it, driven
// by mouse clicks on the real buttons, rows, menus and alerts only, over a
// generated library, in English and in German. The fixture of the flow tests.

#include "Classes/AudioPlayerHelper.h"
#include "Classes/ChooseSongViewController.h"
#include "Classes/RipwellAppDelegate.h"
#include "Classes/SlidingMessageViewController.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/Timing.h"
#include "platform/library/MusicFolder.h"
#include "platform/playback/Player.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UrlCatcher.h"
#include "tests/support/GeneratedLibrary.h"
#include "tests/support/LayoutCheck.h"
#include "platform/library/MediaPickerController.h"

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

namespace e2e {

using testsupport::processEventsUntil;


// The texts a user reads on the buttons, in each language.
struct Texts {
    QString selectSongs, done, cancel, ok, convert, fileManager, transfer, next, playback, stopPlayback, email,
        edit, del, selectedItems, mailButton, tickAll, untickAll, saveToDocuments;
};

inline const Texts& textsFor(const std::string& language)
{
    static const Texts english{"Select songs", "Done", "Cancel", "OK", "Convert", "File manager",
                               "Transfer to computer", "Next", "Playback media file", "Stop playback",
                               "E-Mail media file", "Edit", "Delete", "Selected items", "E-Mail",
                               "Tick all", "Untick all", "Save to: Documents folder"};
    static const Texts german{"Titel auswählen", "Fertig", "Abbrechen", "OK", "Konvertieren", "Dateimanager",
                              "Auf den Computer übertragen", "Weiter", "Mediendatei abspielen", "Wiedergabe beenden",
                              "Mediendatei per E-Mail senden", "Bearbeiten", "Löschen", "Ausgewählte Titel",
                              "E-Mail", "Alle auswählen", "Auswahl aufheben", "Speichern in: Dokumentenordner"};
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

inline void click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

class Flows : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite()
    {
        testsupport::silencePlatformMessages();
        songgen::Options options;
        options.songs = 48; // 36 that the library hands over (12 FLAC), 12 protected
        options.seconds = 0.1;
        options.formats = {songgen::Format::Mp3Cbr, songgen::Format::Aac, songgen::Format::Protected,
                           songgen::Format::Flac};
        options.broken = true;
        library_ = new testsupport::GeneratedLibrary(options);
        ASSERT_TRUE(library_->error().isEmpty()) << library_->error().toStdString();
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
        qputenv("RIPWELL_LIBRARY", QFile::encodeName(libraryRoot()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_.file(".local/share")));

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
        qunsetenv("RIPWELL_DOCUMENTS");
        qunsetenv("RIPWELL_LIBRARY");
        qunsetenv("XDG_DATA_HOME");
        localization::install("en");
        timing::setScale(1.0);
    }

    // The library the application reads.
    virtual QString libraryRoot() const { return library_->path(); }

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

    // The window at a desktop's 1280×800 and at the phone's 320×480, with
    // what is on top now: every control inside the window, none over another.
    void expectFitsEverySize(const QString& screen)
    {
        for (const QSize size : {QSize(1280, 800), QSize(320, 480)}) {
            window()->resize(size);
            processEventsUntil([&] { return window()->size() == size && still(); });
            EXPECT_EQ(window()->size(), size);
            EXPECT_EQ(testsupport::layoutProblems(window()).join("\n").toStdString(), "")
                << screen.toStdString() << " at " << size.width() << "x" << size.height();
            shoot(QStringLiteral("%1-%2x%3").arg(screen).arg(size.width()).arg(size.height()).toUtf8().constData());
        }
    }

    // The picker up, its list whole, or nullptr.
    medialibrary::MediaPickerController* openPicker()
    {
        if (!press(t().selectSongs))
            return nullptr;
        if (!processEventsUntil([&] {
                QListView* list = pickerList();
                return list && list->parentWidget()->geometry() == window()->contentRect() && still() &&
                       delegate_->library()->loadedLibrary();
            }))
            return nullptr;
        processEventsUntil([] { return false; }, 2 * 200 * 0.02 + 20); // the picker's last fill-in tick
        return qobject_cast<medialibrary::MediaPickerController*>(delegate_->ctrl()->modalViewController());
    }

    // Every screen and menu of the main flow, each at every size
    // (expectFitsEverySize()): the main screen with its welcome message and
    // with songs picked, the destination menu, the picker during a search,
    // the completion menu, the transfer help, the browser in a folder and
    // the mail composer over it.
    void walkEveryScreenAtEverySize()
    {
        ASSERT_TRUE(processEventsUntil([&] { return !panels_->messages.isEmpty() && still(); }));
        expectFitsEverySize("main");
        ASSERT_TRUE(press(t().saveToDocuments));
        ASSERT_TRUE(processEventsUntil([&] { return button(t().cancel) && still(); }));
        expectFitsEverySize("destination-menu");
        ASSERT_TRUE(press(t().cancel));

        medialibrary::MediaPickerController* picker = openPicker();
        ASSERT_NE(picker, nullptr);
        QTest::keyClicks(picker->searchField(), song(0).artist.left(4));
        picker->tapRow(0);
        expectFitsEverySize("picker");
        ASSERT_TRUE(press(t().cancel));
        ASSERT_TRUE(processEventsUntil([&] { return mainScreenShows(); }));

        const std::vector<songgen::Song> two = playable(2);
        ASSERT_TRUE(pick(titles(two)));
        expectFitsEverySize("main-two-songs");
        ASSERT_TRUE(press(t().convert));
        ASSERT_TRUE(runEnds());
        ASSERT_TRUE(processEventsUntil([&] { return button(t().next) && still(); }));
        expectFitsEverySize("completion-menu");
        ASSERT_TRUE(press(t().transfer));
        ASSERT_TRUE(waitForAlert());
        expectFitsEverySize("transfer-help");
        ASSERT_TRUE(press(t().ok));
        ASSERT_TRUE(press(t().fileManager));
        ASSERT_TRUE(enter({two[0].artist, two[0].album}));
        expectFitsEverySize("files");
        ui::TableViewCell* songRow = nullptr;
        ASSERT_TRUE(processEventsUntil([&] {
            for (ui::TableViewCell* cell : table()->visibleCells())
                if (cell->isVisible() && cell->accessoryView())
                    songRow = cell;
            return songRow && tableSettled();
        }));
        click(songRow->accessoryView());
        ASSERT_TRUE(processEventsUntil([&] { return button(t().cancel) && still(); }));
        expectFitsEverySize("mail-composer");
        ASSERT_TRUE(press(t().cancel));
        ASSERT_TRUE(press(t().done));
        ASSERT_TRUE(processEventsUntil([&] { return mainScreenShows(); }));
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
                    && delegate_->library()->loadedLibrary();
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

    static const songgen::Song& song(int index) { return library_->songs()[std::size_t(index)]; }
    // The first `n` songs that the library hands over.
    static std::vector<songgen::Song> playable(std::size_t n)
    {
        std::vector<songgen::Song> out;
        for (const songgen::Song& s : library_->songs())
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

    static testsupport::GeneratedLibrary* library_;
    testsupport::LogCapture log_; // the runs' lines, the broken songs' errors among them
    testsupport::TempDir home_;
    std::unique_ptr<RipwellAppDelegate> delegate_;
    std::unique_ptr<PanelRecorder> panels_;
};

} // namespace e2e
