#include "platform/foundation/Timing.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Style.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QPointer>
#include <gtest/gtest.h>

using testsupport::processEventsUntil;

namespace {

// Writes every lifecycle call into a shared journal as "name.call".
class Screen : public ui::ViewController {
public:
    Screen(QString name, QStringList* journal) : name_(std::move(name)), journal_(journal) {}
    ~Screen() override { journal_->append(name_ + ".destroyed"); }
    void viewDidLoad() override { journal_->append(name_ + ".viewDidLoad"); }
    void viewWillAppear(bool a) override { journal_->append(name_ + ".viewWillAppear" + flag(a)); }
    void viewDidAppear(bool a) override
    {
        journal_->append(name_ + ".viewDidAppear" + flag(a));
        if (onAppear)
            onAppear();
    }
    void viewWillDisappear(bool a) override { journal_->append(name_ + ".viewWillDisappear" + flag(a)); }
    void viewDidDisappear(bool a) override { journal_->append(name_ + ".viewDidDisappear" + flag(a)); }
    std::function<void()> onAppear;

private:
    static QString flag(bool animated) { return animated ? "(animated)" : "()"; }
    QString name_;
    QStringList* journal_;
};

class ViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        timing::setScale(0.02);
        main_ = new Screen("main", &journal_);
        window_.addSubview(main_->view());
        window_.makeKeyAndVisible();
        journal_.clear();
    }
    void TearDown() override
    {
        delete main_;
        timing::setScale(1.0);
    }

    QStringList journal_;
    ui::Window window_;
    Screen* main_ = nullptr;
};

TEST_F(ViewControllerTest, PresentAndDismissRunTheLifecycleInOrder)
{
    QPointer<Screen> modal = new Screen("modal", &journal_);
    main_->presentModalViewController(modal, true);
    EXPECT_EQ(main_->modalViewController(), modal.data());
    EXPECT_EQ(modal->parentViewController(), main_);
    ASSERT_TRUE(processEventsUntil([&] { return journal_.contains("modal.viewDidAppear(animated)"); }));
    EXPECT_EQ(journal_, QStringList({"modal.viewDidLoad", "main.viewWillDisappear(animated)",
                                     "modal.viewWillAppear(animated)", "main.viewDidDisappear(animated)",
                                     "modal.viewDidAppear(animated)"}));
    // The presented view sits below the status bar, the presenter's view is put away.
    EXPECT_EQ(modal->view()->geometry(), window_.contentRect());
    EXPECT_EQ(modal->view()->parentWidget(), &window_);
    EXPECT_TRUE(main_->view()->isHidden());

    journal_.clear();
    main_->dismissModalViewControllerAnimated(true);
    EXPECT_EQ(main_->modalViewController(), nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return modal.isNull(); }));
    EXPECT_EQ(journal_, QStringList({"modal.viewWillDisappear(animated)", "main.viewWillAppear(animated)",
                                     "modal.viewDidDisappear(animated)", "main.viewDidAppear(animated)",
                                     "modal.destroyed"}));
    EXPECT_FALSE(main_->view()->isHidden());
}

TEST_F(ViewControllerTest, APresentedScreenDismissesItselfWithoutAnimation)
{
    QPointer<Screen> modal = new Screen("modal", &journal_);
    main_->presentModalViewController(modal, false);
    EXPECT_TRUE(journal_.contains("modal.viewDidAppear()")); // no slide: done before the call returns
    journal_.clear();
    modal->dismissModalViewControllerAnimated(false);
    EXPECT_EQ(journal_, QStringList({"modal.viewWillDisappear()", "main.viewWillAppear()",
                                     "modal.viewDidDisappear()", "main.viewDidAppear()"}));
    ASSERT_TRUE(processEventsUntil([&] { return modal.isNull(); }));
}

// A browser over a conversion screen: when the browser closes, the conversion
// screen closes itself from its viewDidAppear, and the user lands on main.
TEST_F(ViewControllerTest, AScreenMayDismissItselfWhenItReappears)
{
    QPointer<Screen> conversion = new Screen("conversion", &journal_);
    QPointer<Screen> browser = new Screen("browser", &journal_);
    main_->presentModalViewController(conversion, true);
    ASSERT_TRUE(processEventsUntil([&] { return journal_.contains("conversion.viewDidAppear(animated)"); }));
    conversion->presentModalViewController(browser, true);
    ASSERT_TRUE(processEventsUntil([&] { return journal_.contains("browser.viewDidAppear(animated)"); }));
    conversion->onAppear = [&] { conversion->dismissModalViewControllerAnimated(false); };

    journal_.clear();
    browser->dismissModalViewControllerAnimated(true);
    ASSERT_TRUE(processEventsUntil([&] { return browser.isNull() && conversion.isNull(); }));
    EXPECT_EQ(journal_, QStringList({"browser.viewWillDisappear(animated)", "conversion.viewWillAppear(animated)",
                                     "browser.viewDidDisappear(animated)", "conversion.viewDidAppear(animated)",
                                     "conversion.viewWillDisappear()", "main.viewWillAppear()",
                                     "conversion.viewDidDisappear()", "main.viewDidAppear()",
                                     "browser.destroyed", "conversion.destroyed"}));
    EXPECT_FALSE(main_->view()->isHidden());
}

TEST_F(ViewControllerTest, DismissDuringTheSlideInFinishesThePresentationFirst)
{
    QPointer<Screen> modal = new Screen("modal", &journal_);
    main_->presentModalViewController(modal, true);
    main_->dismissModalViewControllerAnimated(false);
    ASSERT_TRUE(processEventsUntil([&] { return modal.isNull(); }));
    const qsizetype appeared = journal_.indexOf("modal.viewDidAppear()");
    const qsizetype leaving = journal_.indexOf("modal.viewWillDisappear()");
    ASSERT_GE(appeared, 0);
    EXPECT_LT(appeared, leaving);
    EXPECT_EQ(journal_.last(), "modal.destroyed");
    EXPECT_EQ(journal_.count("main.viewDidAppear()"), 1);
}

TEST_F(ViewControllerTest, ASecondPresentationIsRefused)
{
    QPointer<Screen> first = new Screen("first", &journal_);
    QPointer<Screen> second = new Screen("second", &journal_);
    main_->presentModalViewController(first, false);
    main_->presentModalViewController(second, false);
    EXPECT_EQ(main_->modalViewController(), first.data());
    ASSERT_TRUE(processEventsUntil([&] { return second.isNull(); }));
    EXPECT_FALSE(journal_.contains("second.viewDidLoad"));
}

TEST_F(ViewControllerTest, DismissingAScreenTakesTheScreenItPresentsAlong)
{
    QPointer<Screen> outer = new Screen("outer", &journal_);
    QPointer<Screen> inner = new Screen("inner", &journal_);
    main_->presentModalViewController(outer, false);
    outer->presentModalViewController(inner, false);
    main_->dismissModalViewControllerAnimated(false);
    ASSERT_TRUE(processEventsUntil([&] { return outer.isNull() && inner.isNull(); }));
    EXPECT_TRUE(journal_.contains("inner.viewWillDisappear()"));
    EXPECT_EQ(journal_.count("main.viewDidAppear()"), 1);
}

TEST_F(ViewControllerTest, DestroyingThePresenterDestroysThePresentedScreen)
{
    auto* presenter = new Screen("presenter", &journal_);
    window_.addSubview(presenter->view());
    QPointer<Screen> modal = new Screen("modal", &journal_);
    presenter->presentModalViewController(modal, false);
    QPointer<QWidget> modalView = modal->view();
    delete presenter;
    EXPECT_TRUE(modal.isNull());
    EXPECT_TRUE(modalView.isNull());
}

TEST(ViewTest, ViewWithTagFindsTheNearestTaggedDescendant)
{
    QWidget root;
    auto* slot = new QWidget(&root);
    auto* deep = new QWidget(new QWidget(slot));
    auto* image = new QWidget(slot);
    ui::setTag(deep, 1000);
    ui::setTag(image, 1000);
    EXPECT_EQ(ui::viewWithTag(slot, 1000), image); // breadth first
    EXPECT_EQ(ui::viewWithTag(&root, 7), nullptr);
    ui::setTag(&root, 7);
    EXPECT_EQ(ui::viewWithTag(&root, 7), &root);
}

TEST(ViewTest, FrameAnimationReachesItsFrameAndReportsTheEnd)
{
    timing::setScale(0.02);
    QWidget parent;
    parent.resize(320, 480);
    auto* panel = new QWidget(&parent);
    panel->setGeometry(320, 140, 260, 160);
    int stops = 0;
    bool finished = false;
    ui::animate(0.4, [&] { ui::setFrame(panel, QRect(30, 140, 260, 160)); },
                [&](bool f) { ++stops, finished = f; });
    EXPECT_EQ(panel->geometry().x(), 320); // recorded, not applied at once
    EXPECT_TRUE(ui::isAnimating(panel));
    ASSERT_TRUE(processEventsUntil([&] { return stops > 0; }));
    EXPECT_TRUE(finished);
    EXPECT_EQ(panel->geometry(), QRect(30, 140, 260, 160));

    // A frame set while an animation runs cuts it short.
    stops = 0;
    ui::animate(10.0, [&] { ui::setFrame(panel, QRect(-260, 140, 260, 160)); }, [&](bool f) { ++stops, finished = f; });
    ui::setFrame(panel, QRect(0, 0, 10, 10));
    ASSERT_TRUE(processEventsUntil([&] { return stops > 0; }));
    EXPECT_FALSE(finished);
    EXPECT_EQ(panel->geometry(), QRect(0, 0, 10, 10));
    timing::setScale(1.0);
}

QStringList* g_qtWarnings = nullptr;
void recordQtWarnings(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_qtWarnings->append(message);
}

TEST(ViewTest, AViewThatGoesAwayLeavesTheRestOfItsAnimationRunning)
{
    timing::setScale(0.02);
    QStringList warnings;
    g_qtWarnings = &warnings;
    const QtMessageHandler previous = qInstallMessageHandler(recordQtWarnings);
    QWidget parent;
    parent.resize(320, 480);
    auto* gone = new QWidget(&parent);
    auto* stays = new QWidget(&parent);
    int stops = 0;
    ui::animate(2.0, [&] {
        ui::setFrame(gone, QRect(-260, 140, 260, 160));
        ui::setFrame(stays, QRect(30, 140, 260, 160));
    }, [&](bool) { ++stops; });
    delete gone;
    ASSERT_TRUE(processEventsUntil([&] { return stops > 0; }));
    EXPECT_EQ(stays->geometry(), QRect(30, 140, 260, 160));
    QCoreApplication::processEvents();
    EXPECT_EQ(stops, 1);
    qInstallMessageHandler(previous);
    g_qtWarnings = nullptr;
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
    timing::setScale(1.0);
}

TEST(ViewTest, LayerStylingIsKeptOnTheView)
{
    QWidget box;
    box.resize(100, 100);
    ui::setBackgroundColor(&box, Qt::black);
    ui::setClipsToBounds(&box, true);
    ui::Layer::of(&box)->setCornerRadius(10);
    ui::Layer::of(&box)->setBorderWidth(2);
    ui::setAlpha(&box, 0.8);
    EXPECT_EQ(ui::Layer::of(&box), ui::Layer::existing(&box));
    EXPECT_EQ(ui::backgroundColor(&box), QColor(Qt::black));
    EXPECT_NEAR(ui::alpha(&box), 0.8, 1e-6);
    EXPECT_FALSE(box.mask().isEmpty()); // rounded clip
    EXPECT_FALSE(box.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(box.mask().contains(QPoint(50, 50)));
}

} // namespace
