#pragma once
// The application delegate: puts the main screen into the main window at
// start-up. Holds the window (from the main layout, resources/MainWindow.ui)
// and the main screen for the whole run.

#include "platform/ui/Application.h"

#include <memory>

class ChooseSongViewController;
namespace medialibrary { class MusicFolder; }
namespace ui { class AlertView; class Window; }

class RipwellAppDelegate : public ui::ApplicationDelegate {
public:
    // The application over `library`, by default the user's music folder.
    explicit RipwellAppDelegate(std::shared_ptr<medialibrary::MusicFolder> library = nullptr);
    ~RipwellAppDelegate() override;

    // The delegate of the running application, or nullptr.
    static RipwellAppDelegate* sharedDelegate();

    bool application(ui::Application* application, const QVariantMap& didFinishLaunchingWithOptions) override;
    void applicationWillResignActive(ui::Application* application) override;
    void applicationDidEnterBackground(ui::Application* application) override;
    void applicationWillEnterForeground(ui::Application* application) override;
    void applicationDidBecomeActive(ui::Application* application) override;
    void applicationWillTerminate(ui::Application* application) override;
    void applicationDidReceiveMemoryWarning(ui::Application* application) override;

    ui::Window* window() const override { return window_.get(); }
    void setWindow(std::unique_ptr<ui::Window> window);
    ChooseSongViewController* ctrl() const { return ctrl_.get(); }
    // The library the application lists and converts from.
    const std::shared_ptr<medialibrary::MusicFolder>& library() const { return library_; }
    void setCtrl(std::unique_ptr<ChooseSongViewController> ctrl);

    // The alert shown at start when the music library lies inside the
    // documents folder, or nullptr.
    ui::AlertView* libraryInsideDocumentsAlert() const { return libraryAlert_; }

private:
    std::shared_ptr<medialibrary::MusicFolder> library_;
    ui::AlertView* libraryAlert_ = nullptr; // owned by the window
    std::unique_ptr<ui::Window> window_;
    std::unique_ptr<ChooseSongViewController> ctrl_;
};
