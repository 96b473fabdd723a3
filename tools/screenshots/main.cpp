// ripwell-screenshots DIR [--language LANG] [--scale N] [--size WxH]: renders
// the application's screens offscreen, over a generated demo library, into DIR
// as PNG files, one per screen state, in a window of WxH points (1024x768, the
// size the window opens at on a common desktop, unless given; 320x480 is the
// smallest); with --scale, at N pixels a point.

#include "Classes/AudioPlayerHelper.h"
#include "Classes/ChooseSongViewController.h"
#include "Classes/FileManagerViewController.h"
#include "Classes/EmailHelper.h"
#include "Classes/CompletedWorkViewController.h"
#include "Classes/RipwellAppDelegate.h"
#include "platform/foundation/Documents.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Timing.h"
#include "platform/library/MusicFolder.h"
#include "platform/library/MediaPickerController.h"
#include "platform/mail/MailComposeViewController.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/Animation.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Window.h"
#include "tools/make_library/SongGenerator.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

QString g_outDir;
int g_failures = 0;

void settle(int ms = 150, const std::function<bool()>& until = {})
{
    // At least `ms`, then until `until` holds, but never more than 5 s longer.
    QDeadlineTimer deadline(ms);
    QDeadlineTimer giveUp(ms + 5000);
    while (!deadline.hasExpired() || (until && !until())) {
        if (giveUp.hasExpired())
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

void shoot(QWidget* window, const char* name)
{
    settle();
    const QString file = QDir(g_outDir).filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (!window->grab().save(file)) {
        std::fprintf(stderr, "ripwell-screenshots: cannot write %s\n", qPrintable(file));
        ++g_failures;
        return;
    }
    std::printf("%s\n", qPrintable(file));
}

// Stored files as a few conversions leave them: artist and album folders,
// loose songs and error.log.
void fillDocuments(const QString& docs, const QString& library)
{
    QString song;
    for (QDirIterator it(library, {QStringLiteral("*.mp3")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        song = it.next();
        break;
    }
    const auto put = [&](const QString& relative) {
        const QString target = QDir(docs).filePath(relative);
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (!QFile::copy(song, target)) {
            QFile f(target);
            f.open(QIODevice::WriteOnly);
        }
    };
    put(QStringLiteral("Aurora Lane/Night Drive/Copper Sky.m4a"));
    put(QStringLiteral("Aurora Lane/Night Drive/Morning Tide.mp3"));
    put(QStringLiteral("Aurora Lane/Night Drive/Slow Train.wav"));
    put(QStringLiteral("Aurora Lane/Live.at.Home/Intro.aif"));
    put(QStringLiteral("The Quiet Hours/Harbour/Lanterns.mp3"));
    put(QStringLiteral("Midnight Static.mp3"));
    put(QStringLiteral("Paper Boats.m4a"));
    QFile log(QDir(docs).filePath(QStringLiteral("error.log")));
    log.open(QIODevice::WriteOnly);
    log.write("Failed: 1\n");
}

// The stored-files browser: the documents folder, a folder inside it,
// editing with a Delete button out, and the composer opened from a row.
void shootFileManager(QWidget* window, ui::ViewController* presenter)
{
    auto* browser = new FileManagerViewController;
    presenter->presentModalViewController(browser, true);
    settle(300);
    shoot(window, "files");

    ui::TableView* table = browser->tableView();
    const auto rowOf = [&](const QString& name) {
        return ui::IndexPath::forRow(int(browser->files().indexOf(name)) + browser->offset());
    };
    browser->didSelectRowAtIndexPath(table, rowOf(QStringLiteral("Aurora Lane")));
    table->selectRowAtIndexPath(ui::IndexPath::forRow(0), false);
    browser->didSelectRowAtIndexPath(table, ui::IndexPath::forRow(0)); // back up
    browser->didSelectRowAtIndexPath(table, rowOf(QStringLiteral("Aurora Lane")));
    browser->didSelectRowAtIndexPath(table, rowOf(QStringLiteral("Night Drive")));
    table->selectRowAtIndexPath(rowOf(QStringLiteral("Morning Tide.mp3")), false);
    settle();
    shoot(window, "files-folder");

    browser->editButton()->click();
    settle(300);
    if (ui::TableViewCell* cell = table->cellForRowAtIndexPath(rowOf(QStringLiteral("Slow Train.wav"))))
        cell->deleteControl()->click();
    settle(300);
    shoot(window, "files-editing");
    browser->editButton()->click();
    settle(300);

    if (ui::TableViewCell* cell = table->cellForRowAtIndexPath(rowOf(QStringLiteral("Copper Sky.m4a"))))
        if (auto* mail = qobject_cast<ui::Button*>(cell->accessoryView()))
            mail->click();
    settle(500);
    shoot(window, "files-mail");
    browser->dismissModalViewControllerAnimated(false); // the composer
    browser->quit(nullptr);
    settle(300);
}

// Ignores whatever is pressed: the menus here are only looked at.
struct NoDelegate : ui::ActionSheetDelegate, ui::AlertViewDelegate {
    void actionSheet(ui::ActionSheet*, int) override {}
    void alertView(ui::AlertView*, int) override {}
};

// The alert's button with `title` on screen, or nullptr.
QAbstractButton* alertButton(QWidget* window, const QString& title)
{
    for (QLabel* message : window->findChildren<QLabel*>(QStringLiteral("message")))
        if (message->isVisible())
            for (QAbstractButton* b : message->parentWidget()->findChildren<QAbstractButton*>())
                if (b->text() == title)
                    return b;
    return nullptr;
}

// Picks songs in the main screen's picker: `count` that the library hands
// over (leaving out the demo's deliberately broken files), then `locked`
// protected ones.
void pickSongs(ChooseSongViewController* ctrl, int count, int locked)
{
    ctrl->selectButton()->click();
    auto* picker = qobject_cast<medialibrary::MediaPickerController*>(ctrl->modalViewController());
    if (!picker)
        return;
    settle(300);
    for (int row = 0; row < picker->numberOfRows() && count > 0; ++row)
        if (!picker->itemAtRow(row).assetURL().isEmpty() && picker->itemAtRow(row).artist() != "Broken") {
            picker->tapRow(row);
            --count;
        }
    for (int row = 0; row < picker->numberOfRows() && locked > 0; ++row)
        if (picker->itemAtRow(row).isProtected()) {
            picker->tapRow(row);
            --locked;
        }
    picker->done();
    settle(400, [ctrl] { return !ctrl->modalViewController(); });
}

// The main screen: a welcome message, one song, several with protected ones
// left out, and the question before a large batch.
void shootMainScreen(QWidget* window, ChooseSongViewController* ctrl)
{
    pickSongs(ctrl, 1, 0);
    shoot(window, "main-one-song");
    AudioPlayerHelper::sharedInstance()->stopPlayback();

    pickSongs(ctrl, 3, 1);
    shoot(window, "main-skipped-alert");
    if (QAbstractButton* ok = alertButton(window, L("OK")))
        ok->click();
    shoot(window, "main-several-songs");

    pickSongs(ctrl, 26, 0);
    ctrl->convButton()->click();
    shoot(window, "main-large-batch");
    if (QAbstractButton* cancel = alertButton(window, L("Cancel")))
        cancel->click();
    settle();
}

// A conversion screen that stops the picture at one moment of its run: right
// after item `atItem` has ended, the next one is shown half done, the way a
// tick would show it on a slower machine.
class RunningScreen : public CompletedWorkViewController {
public:
    using CompletedWorkViewController::CompletedWorkViewController;
    std::uint32_t atItem = 0;
    std::function<void()> capture;
    void itemEnded(std::uint32_t index, const ItemOutcome& outcome) override
    {
        CompletedWorkViewController::itemEnded(index, outcome);
        if (index != atItem || !capture)
            return;
        QMetaObject::invokeMethod(this, [this] {
            currentItem();
            progress(0.5f);
            capture();
        }, Qt::QueuedConnection);
    }
};

// The songs of the demo library that can be converted, with their covers first.
std::vector<medialibrary::MediaItem> convertibleSongs(const QStringList& whole)
{
    std::vector<medialibrary::MediaItem> songs;
    for (const auto& item : RipwellAppDelegate::sharedDelegate()->library()->library()->items())
        if (whole.contains(item.filePath()) && item.artwork() &&
            QStringList{"mp3", "m4a", "wav", "aif"}.contains(item.assetURL().pathExtension()))
            songs.push_back(item);
    return songs;
}

SelectionMap selectionOf(const std::vector<medialibrary::MediaItem>& items)
{
    SelectionMap map;
    for (const auto& item : items)
        map.setObject(item, item.assetURL());
    return map;
}

// Presents a conversion screen over the main screen, runs `items` and waits for the end.
template <class Screen = CompletedWorkViewController>
Screen* runConversion(ChooseSongViewController* ctrl, const std::vector<medialibrary::MediaItem>& items,
                      const std::function<void(Screen*)>& prepare = {})
{
    auto* screen = new Screen(RipwellAppDelegate::sharedDelegate()->library());
    if (prepare)
        prepare(screen);
    ctrl->presentModalViewController(screen, false); // in place before the first picture is taken
    screen->exportMedia(selectionOf(items));
    settle(300, [screen] { return screen->run().isFinished(); });
    return screen;
}

void pressSheetButton(ui::ActionSheet* sheet, int index)
{
    settle(100, [sheet] { return sheet->isVisible(); });
    if (QAbstractButton* b = sheet->buttonAtIndex(index))
        b->click();
}

void pressAlertButton(ui::AlertView* alert, int index)
{
    settle(100, [alert] { return alert->isVisible(); });
    if (QAbstractButton* b = alert->buttonAtIndex(index))
        b->click();
}

void shootConversionScreens(ui::Window* window, ChooseSongViewController* ctrl, const QStringList& wholeSongs)
{
    applog::setStderrEnabled(false); // the run's log lines are not what is looked at here
    const std::vector<medialibrary::MediaItem> songs = convertibleSongs(wholeSongs);
    if (songs.size() < 4) {
        std::fprintf(stderr, "ripwell-screenshots: the demo library has too few songs\n");
        ++g_failures;
        return;
    }

    // Mid-run: the second of four songs half done.
    auto* running = runConversion<RunningScreen>(ctrl, {songs[0], songs[1], songs[2], songs[3]}, [&](RunningScreen* s) {
        s->atItem = 0;
        s->capture = [window] {
            const QString file = QDir(g_outDir).filePath(QStringLiteral("conversion-running.png"));
            if (window->grab().save(file))
                std::printf("%s\n", qPrintable(file));
            else
                ++g_failures;
        };
    });
    settle(400);
    shoot(window, "conversion-menu-multi");
    pressSheetButton(running->actionSheetMulti(), 1); // Transfer to computer
    settle(300);
    shoot(window, "conversion-instructions");
    pressAlertButton(running->alertInstructions(), 0);
    settle(300);
    pressSheetButton(running->actionSheetMulti(), 2); // Next
    settle(500);

    // One song, converted: the single-item menu, then playback.
    auto* single = runConversion(ctrl, {songs[4 % songs.size()]});
    settle(400);
    shoot(window, "conversion-menu-single");
    pressSheetButton(single->actionSheetSingle(), 0); // Playback media file
    settle(400);
    shoot(window, "conversion-playback");
    pressSheetButton(single->actionSheetPlayback(), 0); // Stop playback
    settle(300);
    pressSheetButton(single->actionSheetSingle(), 4); // Next
    settle(500);

    // One song the library no longer hands over: the failure alert.
    medialibrary::MediaItem::Data gone;
    gone.persistentID = 4242424242u;
    gone.title = QStringLiteral("Locked Song");
    gone.artist = QStringLiteral("Unknown Artist");
    gone.assetURL = Url::fromString(QStringLiteral("library://item/item.m4a?id=4242424242"));
    auto* failed = runConversion(ctrl, {medialibrary::MediaItem(gone)});
    settle(400);
    shoot(window, "conversion-failed");
    pressAlertButton(failed->alertConversionFailed(), 0);
    settle(300);
    pressSheetButton(failed->actionSheetSingle(), 4);
    settle(500);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QString language;
    QSize size(1024, 768);
    bool usage = argc < 2 || argc % 2 != 0;
    for (int i = 2; i + 1 < argc && !usage; i += 2) {
        const QByteArray option(argv[i]), value(argv[i + 1]);
        bool number = false;
        if (option == "--language")
            language = QString::fromLocal8Bit(value);
        else if (option == "--scale" && value.toDouble(&number) >= 1 && number)
            qputenv("QT_SCALE_FACTOR", value); // read when the application starts
        else if (option == "--size" && value.split('x').size() == 2 && value.split('x')[0].toInt() >= 320 &&
                 value.split('x')[1].toInt() >= 480)
            size = QSize(value.split('x')[0].toInt(), value.split('x')[1].toInt());
        else
            usage = true;
    }
    QApplication app(argc, argv);
    if (usage) {
        std::fputs("Usage: ripwell-screenshots DIR [--language de] [--scale 2] [--size 1280x800]\n", stderr);
        return 2;
    }
    g_outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_outDir);
    if (!language.isEmpty())
        localization::install(language);
    timing::setScale(0.05); // slides and timers run twenty times as fast

    // The demo library: songs of every format, and the broken files.
    QTemporaryDir work;
    const QString library = work.filePath(QStringLiteral("Music"));
    qputenv("RIPWELL_DOCUMENTS", QFile::encodeName(work.filePath(QStringLiteral("Documents"))));
    songgen::Options options;
    options.songs = 36; // enough for a batch that asks before it starts
    options.seconds = 1.0;
    options.broken = true;
    QString error;
    QStringList wholeSongs; // the songs that are not broken on purpose
    for (const songgen::Song& song : songgen::makeLibrary(library, options, &error))
        if (!song.broken)
            wholeSongs << song.path;
    if (!error.isEmpty()) {
        std::fprintf(stderr, "ripwell-screenshots: %s\n", qPrintable(error));
        return 1;
    }
    auto delegate = std::make_unique<RipwellAppDelegate>(
        medialibrary::MusicFolder::holding(medialibrary::MediaLibrary::scan(library)));
    ui::Application::sharedApplication()->setDelegate(delegate.get());
    timing::setScale(1.0); // the welcome message at its own pace, so it can be caught at rest
    delegate->application(ui::Application::sharedApplication(), {});
    ui::Window* window = delegate->window();
    window->resize(size);
    ChooseSongViewController* ctrl = delegate->ctrl();
    // The first welcome message at rest in the middle.
    settle(500, [ctrl] {
        for (QWidget* w : ctrl->view()->findChildren<QWidget*>())
            if (w->parentWidget() == ctrl->view() && w->x() == (ctrl->view()->width() - w->width()) / 2 &&
                w->isVisible() && !ui::isAnimating(w))
                return true;
        return false;
    });
    shoot(window, "main");
    timing::setScale(0.05);

    // Where the files go: the documents folder and the sticks mounted now.
    ctrl->chooseDestination(nullptr);
    shoot(window, "main-destination");
    if (ui::ActionSheet* where = ctrl->destinationSheet())
        where->dismissWithClickedButtonIndex(where->cancelButtonIndex(), false);
    settle();

    // The picker, a few songs checked.
    ctrl->selectMedia(nullptr);
    auto* picker = qobject_cast<medialibrary::MediaPickerController*>(ctrl->modalViewController());
    settle(300);
    for (int row : {1, 4, 5})
        picker->tapRow(row);
    settle(600);
    shoot(window, "picker");

    picker->setSearchText(QStringLiteral("mira"));
    picker->tickAll(); // the songs found, the left-out ones not
    settle(600);
    shoot(window, "picker-search");
    picker->setSearchText(QStringLiteral("no such song"));
    settle(300);
    shoot(window, "picker-no-match");
    picker->cancel();
    settle(300);

    // A picker over an empty library says where the songs are looked for.
    {
        const QString emptyLibrary = work.filePath(QStringLiteral("Empty Music"));
        QDir().mkpath(emptyLibrary);
        medialibrary::MediaPickerController empty(medialibrary::MediaTypeAnyAudio,
                                                  medialibrary::MediaLibrary::scan(emptyLibrary));
        empty.setPrompt(L("Select media for extraction"));
        ui::Window emptyWindow;
        emptyWindow.resize(size);
        emptyWindow.addSubview(empty.view());
        emptyWindow.makeKeyAndVisible();
        shoot(&emptyWindow, "picker-empty");
    }
    window->makeKeyAndVisible(); // alerts come up in the app's window again

    NoDelegate none;
    ui::ActionSheet sheet(L("Conversion completed"), &none, QString(), QString(),
                          {L("Playback media file"), L("E-Mail media file"), L("File manager"),
                           L("Transfer to computer"), L("Next")});
    sheet.showInView(window);
    shoot(window, "action-sheet");
    sheet.dismissWithClickedButtonIndex(0, false);
    settle();

    ui::AlertView alert(QString(),
                        CompletedWorkViewController::instructionsText(documents::documentsDirectory()),
                        &none, L("OK"), {QStringLiteral("WWW")});
    alert.show();
    shoot(window, "alert");
    alert.dismissWithClickedButtonIndex(0, false);
    settle();

    ui::AlertView question(QString(),
                           L("You have selected more than 25 items. This may take a some time and requires "
                             "sufficient disk space. Are you sure you want to continue?"),
                           &none, L("Cancel"), {L("OK")});
    question.show();
    shoot(window, "alert-two-buttons");
    question.dismissWithClickedButtonIndex(0, false);
    settle();

    // The mail composer over the main screen, as it opens and filled in.
    {
        struct MailDelegate : mail::MailComposeViewControllerDelegate {
            void mailComposeController(mail::MailComposeViewController* c, mail::MailComposeResult,
                                       const QString&) override
            {
                c->dismissModalViewControllerAnimated(false);
            }
        } mailDelegate;
        const QString song = library + QStringLiteral("/Miracle Waves - Copper Sky.m4a");
        if (!QFile::exists(song)) {
            songgen::Song s{song, songgen::Format::Aac, QStringLiteral("Miracle Waves"), QStringLiteral("Tides"),
                            QStringLiteral("Copper Sky"), 1, false};
            songgen::writeSong(s, 11, 4.0, 128000, &error);
        }
        EmailHelper().emailFile(Url::fileURLWithPath(song), QStringLiteral("Miracle Waves"), ctrl, &mailDelegate);
        auto* composer = qobject_cast<mail::MailComposeViewController*>(ctrl->modalViewController());
        settle(400);
        shoot(window, "mail-composer");
        if (composer) {
            composer->setToRecipients({QStringLiteral("Ann Example <ann@example.org>")});
            composer->setCcRecipients({QStringLiteral("bob@example.org"), QStringLiteral("carol@example.org")});
            composer->setSubject(QStringLiteral("Miracle Waves – Copper Sky"));
            shoot(window, "mail-composer-filled");
            // A send that takes a second and fails; the draft goes to the work folder.
            qputenv("XDG_DATA_HOME", QFile::encodeName(work.filePath(QStringLiteral("data"))));
            qputenv("RIPWELL_SENDMAIL", "sh -c 'sleep 1; echo \"mail.example.org: connection refused\" >&2; exit 75'");
            composer->view()->findChild<QPushButton*>(QStringLiteral("sendButton"))->click();
            shoot(window, "mail-composer-sending");
            settle(400, [&] { return composer->failureAlert() != nullptr; });
            shoot(window, "mail-composer-send-failed");
            if (composer->failureAlert())
                composer->failureAlert()->buttonAtIndex(0)->click();
            settle();
        }
        EmailHelper().emailFile(Url::fileURLWithPath(library + QStringLiteral("/gone.mp3")), QStringLiteral("gone.mp3"),
                                ctrl, &mailDelegate);
        settle(400);
        shoot(window, "mail-composer-no-attachment");
        ctrl->dismissModalViewControllerAnimated(false);
        settle();
    }

    shootMainScreen(window, ctrl);

    fillDocuments(work.filePath(QStringLiteral("Documents")), library);
    shootFileManager(window, ctrl);
    shootConversionScreens(window, ctrl, wholeSongs);

    delegate.reset();
    return g_failures == 0 ? 0 : 1;
}
