// ripwell-screenshots DIR: renders the application's screens offscreen, over
// a generated demo library, into DIR as PNG files, one per screen state.

#include "Classes/ChooseSongViewController.h"
#include "Classes/FileManagerViewController.h"
#include "Classes/RipwellAppDelegate.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/Timing.h"
#include "platform/library/MediaLibrary.h"
#include "platform/library/MediaPickerController.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "tools/make_library/SongGenerator.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

QString g_outDir;
int g_failures = 0;

void settle(int ms = 150, const std::function<bool()>& until = {})
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired() || (until && !until())) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
        if (until && until() && deadline.hasExpired())
            break;
        if (deadline.remainingTime() < -5000)
            break; // give up waiting for `until`
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

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("Usage: ripwell-screenshots DIR [--language de]\n", stderr);
        return 2;
    }
    g_outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_outDir);
    if (argc >= 4 && QByteArray(argv[2]) == "--language")
        localization::install(QString::fromLocal8Bit(argv[3]));
    timing::setScale(0.05); // slides and timers run twenty times as fast

    // The demo library: two songs of every format, and the broken files.
    QTemporaryDir work;
    const QString library = work.filePath(QStringLiteral("Music"));
    qputenv("RIPWELL_DOCUMENTS", QFile::encodeName(work.filePath(QStringLiteral("Documents"))));
    songgen::Options options;
    options.songs = 18;
    options.seconds = 1.0;
    options.broken = true;
    QString error;
    songgen::makeLibrary(library, options, &error);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "ripwell-screenshots: %s\n", qPrintable(error));
        return 1;
    }
    medialibrary::MediaLibrary::setDefaultMediaLibrary(medialibrary::MediaLibrary::scan(library));

    auto delegate = std::make_unique<RipwellAppDelegate>();
    ui::Application::sharedApplication()->setDelegate(delegate.get());
    delegate->application(ui::Application::sharedApplication(), {});
    ui::Window* window = delegate->window();
    ChooseSongViewController* ctrl = delegate->ctrl();
    shoot(window, "main");

    // The picker, a few songs checked.
    ctrl->selectMedia(nullptr);
    auto* picker = qobject_cast<medialibrary::MediaPickerController*>(ctrl->modalViewController());
    settle(300);
    for (int row : {1, 4, 5})
        picker->tapRow(row);
    settle(600);
    shoot(window, "picker");

    picker->setSearchText(QStringLiteral("mira"));
    settle(600);
    shoot(window, "picker-search");
    picker->cancel();
    settle(300);

    NoDelegate none;
    ui::ActionSheet sheet(L("Conversion completed"), &none, QString(), QString(),
                          {L("Playback media file"), L("E-Mail media file"), L("File manager"),
                           L("Transfer to computer"), L("Next")});
    sheet.showInView(window);
    shoot(window, "action-sheet");
    sheet.dismissWithClickedButtonIndex(0, false);
    settle();

    ui::AlertView alert(QString(),
                        L("Connect this iPhone to your Mac or PC. Open iTunes and copy the converted media files "
                          "with iTunes File Sharing to your desktop or local iTunes library."),
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

    fillDocuments(work.filePath(QStringLiteral("Documents")), library);
    shootFileManager(window, ctrl);

    delegate.reset();
    return g_failures == 0 ? 0 : 1;
}
