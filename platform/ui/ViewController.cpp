#include "platform/ui/ViewController.h"

#include "platform/foundation/Localization.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Style.h"
#include "platform/ui/Window.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>

namespace ui {

namespace {
constexpr const char* kControllerProperty = "ripwell_viewController";
}

ViewController::ViewController(QObject* parent) : QObject(parent) {}

ViewController::~ViewController()
{
    if (modal_)
        delete modal_.data();
    if (viewGuard_)
        delete viewGuard_.data();
}

QWidget* ViewController::view()
{
    if (!view_) {
        loadView();
        if (!view_)
            setView(new QWidget);
        viewDidLoad();
        viewDidLayoutSubviews();
    }
    return view_;
}

ViewController* ViewController::controllerOfView(const QWidget* view)
{
    if (!view)
        return nullptr;
    return qobject_cast<ViewController*>(view->property(kControllerProperty).value<QObject*>());
}

void ViewController::loadView()
{
    auto* v = new QWidget;
    v->resize(Window::kWidth, Window::kHeight);
    setBackgroundColor(v, Qt::black);
    setView(v);
}

void ViewController::setView(QWidget* view)
{
    if (view_)
        view_->removeEventFilter(this);
    view_ = view;
    viewGuard_ = view;
    if (view) {
        view->setProperty(kControllerProperty, QVariant::fromValue<QObject*>(this));
        view->installEventFilter(this);
    }
}

bool ViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ && event->type() == QEvent::Resize)
        viewDidLayoutSubviews();
    return QObject::eventFilter(watched, event);
}

void ViewController::setTitle(const QString& title)
{
    if (title_ == title)
        return;
    title_ = title;
    updateWindowTitle();
}

void ViewController::updateWindowTitle()
{
    ViewController* bottom = this;
    while (bottom->presenter_)
        bottom = bottom->presenter_;
    ViewController* top = bottom;
    // A screen on its way out no longer counts: its presenter is on top again.
    while (top->modal_ && !top->modal_->dismissing_)
        top = top->modal_;
    if (!bottom->view_)
        return;
    if (auto* window = qobject_cast<Window*>(bottom->view_->window()))
        window->showScreenTitle(top->title_);
}

void ViewController::localizeTexts(QWidget* view)
{
    const auto apply = [](QWidget* w) {
        if (!w->toolTip().isEmpty())
            w->setToolTip(L(w->toolTip().toUtf8().constData()));
        if (!w->accessibleName().isEmpty())
            w->setAccessibleName(L(w->accessibleName().toUtf8().constData()));
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty())
            label->setText(L(label->text().toUtf8().constData()));
        else if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().isEmpty())
            button->setText(L(button->text().toUtf8().constData()));
        else if (auto* field = qobject_cast<QLineEdit*>(w); field && !field->placeholderText().isEmpty())
            field->setPlaceholderText(L(field->placeholderText().toUtf8().constData()));
    };
    apply(view);
    for (QWidget* w : view->findChildren<QWidget*>())
        apply(w);
}

QWidget* ViewController::hostWidget()
{
    QWidget* mine = view();
    QWidget* top = mine->window();
    return top ? top : mine;
}

QRect ViewController::presentedFrame(QWidget* host) const
{
    if (auto* window = qobject_cast<Window*>(host))
        return window->contentRect();
    if (view_ && view_->parentWidget() == host)
        return view_->geometry();
    return host->rect();
}

void ViewController::presentModalViewController(ViewController* controller, bool animated)
{
    if (!controller || controller == this)
        return;
    if (modal_ || dismissing_) {
        controller->deleteLater();
        return;
    }
    controller->setParent(this);
    modal_ = controller;
    controller->presenter_ = this;

    QWidget* host = hostWidget();
    QWidget* presentedView = controller->view(); // viewDidLoad
    const QRect target = presentedFrame(host);

    viewWillDisappear(animated);
    controller->viewWillAppear(animated);

    QRect start = target;
    start.moveTop(host->height());
    presentedView->setParent(host);
    presentedView->setGeometry(animated ? start : target);
    presentedView->raise();
    presentedView->show();

    presenting_ = true;
    if (!animated) {
        finishPresentation(false);
        return;
    }
    QPointer<ViewController> self(this);
    QPointer<ViewController> presented(controller);
    animate(kModalSlideDuration, [&] { setFrame(presentedView, target); },
            [self, presented](bool) {
                if (self && presented && self->modal_ == presented && self->presenting_)
                    self->finishPresentation(true);
            });
}

void ViewController::finishPresentation(bool animated)
{
    presenting_ = false;
    ViewController* presented = modal_;
    if (!presented)
        return;
    QWidget* host = hostWidget();
    if (presented->view_)
        setFrame(presented->view_, presentedFrame(host));
    if (view_ && view_ != host)
        view_->hide();
    updateWindowTitle();
    viewDidDisappear(animated);
    presented->viewDidAppear(animated);
}

void ViewController::dismissModalViewControllerAnimated(bool animated)
{
    if (!modal_) {
        if (presenter_ && !dismissing_)
            presenter_->dismissModalViewControllerAnimated(animated);
        return;
    }
    ViewController* presented = modal_;
    if (presented->dismissing_)
        return;
    if (presenting_)
        finishPresentation(false); // the slide-in is cut short

    // A presented screen that presents another takes that one down at once.
    if (presented->modal_) {
        ViewController* inner = presented->modal_;
        inner->dismissing_ = true;
        inner->viewWillDisappear(false);
        if (inner->view_)
            inner->view_->hide();
        inner->viewDidDisappear(false);
        presented->modal_ = nullptr;
        presented->presenting_ = false;
        if (presented->view_)
            presented->view_->show();
        inner->deleteLater();
    }

    presented->dismissing_ = true;
    modal_ = nullptr;
    updateWindowTitle();
    presented->viewWillDisappear(animated);
    viewWillAppear(animated);
    QWidget* host = hostWidget();
    if (view_ && view_ != host)
        view_->show();
    if (presented->view_)
        presented->view_->raise();

    if (!animated || !presented->view_) {
        finishDismissal(presented, false);
        return;
    }
    QRect end = presented->view_->geometry();
    end.moveTop(host->height());
    QPointer<ViewController> self(this);
    QPointer<ViewController> gone(presented);
    QWidget* presentedView = presented->view_;
    animate(kModalSlideDuration, [&] { setFrame(presentedView, end); },
            [self, gone](bool) {
                if (self && gone)
                    self->finishDismissal(gone, true);
                else if (gone)
                    gone->deleteLater();
            });
}

void ViewController::finishDismissal(ViewController* presented, bool animated)
{
    if (presented->view_)
        presented->view_->hide();
    presented->presenter_ = nullptr;
    presented->viewDidDisappear(animated);
    presented->deleteLater();
    if (!modal_)
        viewDidAppear(animated);
}

} // namespace ui
