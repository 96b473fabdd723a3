#pragma once
// A screen: a controller that owns one view and presents other screens
// modally over itself.
//
// The view is made on first use of view(): loadView() builds it, then
// viewDidLoad() runs once. A screen with a layout file loads it in its
// loadView() override from the .ui form that bears the class's name
// (resources/<ClassName>.ui, compiled by AUTOUIC):
//
//   #include "ui_ChooseSongViewController.h"
//   void ChooseSongViewController::loadView() { setView(loadLayout(form_)); }
//
// loadLayout() passes every text of the layout (labels, buttons, fields,
// tool tips, accessible names) through the localisation lookup, so the
// layout holds the English texts.
//
// Modal presentation. presentModalViewController() takes ownership of the
// controller, slides its view up from the bottom of the window until it covers
// the window and, once it is there, hides the presenter's view.
// dismissModalViewControllerAnimated() sent to the presenter or to the
// presented screen itself slides the presented view out downwards and then
// destroys the presented controller (deleteLater). Calls, in order:
//
//   present:  presented viewDidLoad (first use of its view)
//             presenter viewWillDisappear, presented viewWillAppear
//             ... slide ...
//             presenter viewDidDisappear, presented viewDidAppear
//   dismiss:  presented viewWillDisappear, presenter viewWillAppear
//             ... slide ...
//             presented viewDidDisappear, presenter viewDidAppear
//
// Without animation the steps after the slide run before the call returns.
// A screen presents one modal screen at a time; a second request while one
// is presented is refused and the refused controller deleted. A screen that
// is dismissed while it presents another takes that one down with it.
//
// Sizes. A screen's view has the size of the window, whatever that is (at
// least 320×480), and viewDidLayoutSubviews() runs whenever that size
// changes: a screen places its views there for the space it has.
//
// Title. A screen may have a title (setTitle()); the window's title names the
// screen on top.

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace ui {

class ViewController : public QObject {
    Q_OBJECT
public:
    // Duration of a modal slide, in seconds before scaling.
    static constexpr double kModalSlideDuration = 0.35;

    explicit ViewController(QObject* parent = nullptr);
    ~ViewController() override;

    // The screen's view, loaded on first use.
    QWidget* view();
    bool isViewLoaded() const { return view_ != nullptr; }

    // The screen that controls `view`, or nullptr.
    static ViewController* controllerOfView(const QWidget* view);

    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated) { Q_UNUSED(animated); }
    virtual void viewDidAppear(bool animated) { Q_UNUSED(animated); }
    virtual void viewWillDisappear(bool animated) { Q_UNUSED(animated); }
    virtual void viewDidDisappear(bool animated) { Q_UNUSED(animated); }
    // The view has a new size (and once, right after viewDidLoad()): place
    // its subviews for it.
    virtual void viewDidLayoutSubviews() {}

    // What the screen shows, in a few words ("Songs"); empty by default.
    QString title() const { return title_; }
    void setTitle(const QString& title);

    // Presents `controller` over this screen; takes ownership of it.
    void presentModalViewController(ViewController* controller, bool animated);
    // Dismisses the screen this one presents, or, when it presents none, this
    // screen itself from its presenter. Does nothing when neither applies.
    void dismissModalViewControllerAnimated(bool animated);

    // The screen presented by this one, or nullptr.
    ViewController* modalViewController() const { return modal_; }
    // The screen that presented this one, or nullptr.
    ViewController* parentViewController() const { return presenter_; }

protected:
    // Builds the view. The default is an empty black view of the screen's size.
    virtual void loadView();
    void setView(QWidget* view);

    // Creates the view of a layout form, localises its texts and returns it.
    template <class Form>
    QWidget* loadLayout(Form& form)
    {
        auto* w = new QWidget;
        form.setupUi(w);
        localizeTexts(w);
        return w;
    }
    // Passes the texts of `view` and its descendants through L().
    static void localizeTexts(QWidget* view);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Names the screen on top of this one's stack in the window's title.
    void updateWindowTitle();
    void finishPresentation(bool animated);
    void finishDismissal(ViewController* presented, bool animated);
    QWidget* hostWidget();
    QRect presentedFrame(QWidget* host) const;

    QWidget* view_ = nullptr;
    QPointer<QWidget> viewGuard_;
    QPointer<ViewController> modal_;
    QPointer<ViewController> presenter_;
    QString title_;
    bool presenting_ = false; // slide-in of modal_ under way
    bool dismissing_ = false; // this screen is sliding out
};

} // namespace ui
