#include "Classes/RipwellAppDelegate.h"

#include "Classes/ChooseSongViewController.h"
#include "platform/foundation/Documents.h"
#include "platform/foundation/Localization.h"
#include "platform/library/MusicFolder.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Window.h"

#include "ui_MainWindow.h"

RipwellAppDelegate::RipwellAppDelegate(std::shared_ptr<medialibrary::MusicFolder> library)
    : library_(library ? std::move(library) : medialibrary::MusicFolder::usersMusicFolder())
{
    auto window = std::make_unique<ui::Window>();
    Ui::MainWindow layout;
    layout.setupUi(window.get());
    setWindow(std::move(window));
    setCtrl(std::make_unique<ChooseSongViewController>(library_));
}

RipwellAppDelegate::~RipwellAppDelegate()
{
    setCtrl(nullptr); // the screen's view lives in the window: the screen goes first
    setWindow(nullptr);
    // Quitting does not wait for the library: a scan under way stops at once.
    library_->stopScan();
}

RipwellAppDelegate* RipwellAppDelegate::sharedDelegate()
{
    return dynamic_cast<RipwellAppDelegate*>(ui::Application::sharedApplication()->delegate());
}

void RipwellAppDelegate::setWindow(std::unique_ptr<ui::Window> window)
{
    window_ = std::move(window);
}

void RipwellAppDelegate::setCtrl(std::unique_ptr<ChooseSongViewController> ctrl)
{
    ctrl_ = std::move(ctrl);
}

bool RipwellAppDelegate::application(ui::Application* application, const QVariantMap&)
{
    // Index the music library while the window comes up; a picker opened
    // before the scan is done shows the songs read so far and fills in.
    library_->startScan();

    application->setStatusBarStyle(ui::StatusBarStyle::BlackOpaque, true);
    // A desktop window: as large as is comfortable on this screen, and the
    // user's to resize or maximise from there.
    window_->resize(ui::Window::comfortableSize());
    window_->addSubview(ctrl_->view());
    window_->makeKeyAndVisible();

    const QString root = documents::musicLibraryRoot();
    const QString docs = documents::documentsDirectory();
    if (const QString problem = documents::locationProblem(); !problem.isEmpty()) {
        // Started without a home folder: nothing is read or written until the
        // folders are named.
        libraryAlert_ = new ui::AlertView(L("No folders for Ripwell"), problem + u'.', nullptr, L("OK"), {}, window_.get());
        libraryAlert_->show();
    } else if (documents::isSameFolder(root, docs)) {
        libraryAlert_ = new ui::AlertView(
            L("Music library inside the documents folder"),
            L("Your music library is Ripwell's documents folder itself, so it lists no songs. Choose another "
              "documents folder (RIPWELL_DOCUMENTS) or another music library (RIPWELL_LIBRARY)."),
            nullptr, L("OK"), {}, window_.get());
        libraryAlert_->show();
    } else if (documents::libraryIsInsideDocuments(root, docs)) {
        // Converted songs would land among the songs they come from.
        libraryAlert_ = new ui::AlertView(
            L("Music library inside the documents folder"),
            L("Your music library lies inside Ripwell's documents folder. Converted songs are written among your "
              "songs; a song of the library is never overwritten, the conversion of that song fails instead."),
            nullptr, L("OK"), {}, window_.get());
        libraryAlert_->show();
    }
    return true;
}

// A conversion under way when the application leaves the foreground is
// neither paused nor saved: these have nothing to do.
void RipwellAppDelegate::applicationWillResignActive(ui::Application*) {}
void RipwellAppDelegate::applicationDidEnterBackground(ui::Application*) {}
void RipwellAppDelegate::applicationWillEnterForeground(ui::Application*) {}
void RipwellAppDelegate::applicationDidBecomeActive(ui::Application*) {}
void RipwellAppDelegate::applicationWillTerminate(ui::Application*) {}
void RipwellAppDelegate::applicationDidReceiveMemoryWarning(ui::Application*) {}
