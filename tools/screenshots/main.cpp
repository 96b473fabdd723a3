// ripwell-screenshots DIR: renders the application's screens offscreen, over
// a generated demo library, into DIR as PNG files, one per screen state.

#include "Classes/ChooseSongViewController.h"
#include "Classes/RipwellAppDelegate.h"
#include "platform/foundation/Localization.h"
#include "platform/foundation/Timing.h"
#include "platform/library/MediaLibrary.h"
#include "platform/library/MediaPickerController.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "tools/make_library/SongGenerator.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
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

    delegate.reset();
    return g_failures == 0 ? 0 : 1;
}
