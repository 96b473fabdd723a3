// The window app's window on a real X server (Xvfb, with no window manager),
// as a window manager and the user see it: the size hints it gives (any size
// down to 320×480), its title, and its screens laid out again when another X
// client resizes it. Without Xvfb the tests say why and skip.

#include "Classes/ChooseSongViewController.h"
#include "Classes/RipwellAppDelegate.h"
#include "platform/foundation/Timing.h"
#include "platform/library/MediaLibrary.h"
#include "platform/library/MediaPickerController.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "tests/support/GeneratedLibrary.h"
#include "tests/support/LayoutCheck.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::processEventsUntil;

namespace {

QString g_noDisplay; // why there is no X server, or empty

// A client of the X server of its own, in the part of a window manager or of
// the user dragging the window's edge.
class XClient {
public:
    XClient() : c_(xcb_connect(nullptr, nullptr)) {}
    ~XClient() { xcb_disconnect(c_); }
    bool ok() const { return xcb_connection_has_error(c_) == 0; }

    xcb_atom_t atom(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return a;
    }
    QByteArray property(xcb_window_t w, xcb_atom_t name, xcb_atom_t type)
    {
        auto* reply = xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, name, type, 0, 1024), nullptr);
        QByteArray out;
        if (reply)
            out = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
        free(reply);
        return out;
    }
    void resize(xcb_window_t w, int width, int height)
    {
        const uint32_t values[] = {uint32_t(width), uint32_t(height)};
        xcb_configure_window(c_, w, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
        xcb_flush(c_);
    }

private:
    xcb_connection_t* c_;
};

class WindowSystem : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!g_noDisplay.isEmpty())
            GTEST_SKIP() << g_noDisplay.toStdString();
        testsupport::silencePlatformMessages();
        songgen::Options options;
        options.songs = 3;
        options.seconds = 0.1;
        options.formats = {songgen::Format::Mp3Cbr};
        library_ = std::make_unique<testsupport::GeneratedLibrary>(options, "Music");
        ASSERT_TRUE(library_->error().isEmpty());
        qputenv("RIPWELL_LIBRARY", QFile::encodeName(library_->path()));
        qputenv("RIPWELL_DOCUMENTS", QFile::encodeName(home_.file("Documents")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_.file("data")));
        timing::setScale(0.05);
        delegate_ = std::make_unique<RipwellAppDelegate>();
        ui::Application::sharedApplication()->setDelegate(delegate_.get());
        ASSERT_TRUE(delegate_->application(ui::Application::sharedApplication(), {}));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(delegate_->window()));
    }
    void TearDown() override
    {
        if (!delegate_)
            return;
        ui::Application::sharedApplication()->setDelegate(nullptr);
        delegate_.reset();
        QCoreApplication::processEvents();
        timing::setScale(1.0);
        testsupport::restorePlatformMessages();
    }

    ui::Window* window() const { return delegate_->window(); }
    bool still() const
    {
        for (QWidget* w : window()->findChildren<QWidget*>())
            if (ui::isAnimating(w))
                return false;
        return true;
    }
    // Resizes the window from the other client and waits until the app has
    // taken the new size in; then checks what it shows.
    void resizeFromOutside(XClient& x, int width, int height, const char* screen)
    {
        x.resize(xcb_window_t(window()->winId()), width, height);
        ASSERT_TRUE(processEventsUntil([&] { return window()->size() == QSize(width, height) && still(); }))
            << screen << ": " << window()->width() << "x" << window()->height();
        for (QWidget* w : window()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (ui::ViewController::controllerOfView(w) && w->isVisible()) {
                EXPECT_EQ(w->geometry(), window()->rect()) << screen;
            }
        }
        EXPECT_EQ(testsupport::layoutProblems(window()).join("\n").toStdString(), "")
            << screen << " at " << width << "x" << height;
    }
    QString title(XClient& x)
    {
        return QString::fromUtf8(x.property(xcb_window_t(window()->winId()), x.atom("_NET_WM_NAME"), x.atom("UTF8_STRING")));
    }

    testsupport::TempDir home_;
    std::unique_ptr<testsupport::GeneratedLibrary> library_;
    std::unique_ptr<RipwellAppDelegate> delegate_;
};

TEST_F(WindowSystem, AnySizeFromThePhonesUpItsTitleSaysWhatItShows)
{
    XClient x;
    ASSERT_TRUE(x.ok());
    const xcb_window_t id = xcb_window_t(window()->winId());

    // What the window asks of a window manager: at least 320×480, no most.
    const QByteArray hints = x.property(id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS);
    ASSERT_GE(hints.size(), 9 * 4);
    const auto* h = reinterpret_cast<const uint32_t*>(hints.constData());
    constexpr uint32_t kMinSize = 1 << 4, kMaxSize = 1 << 5;
    EXPECT_TRUE(h[0] & kMinSize);
    EXPECT_EQ(h[5], 320u);
    EXPECT_EQ(h[6], 480u);
    EXPECT_TRUE(!(h[0] & kMaxSize) || (h[7] >= 16384 && h[8] >= 16384)) << "a largest size: " << h[7] << "x" << h[8];
    EXPECT_EQ(title(x), "Ripwell");
    EXPECT_GE(window()->width(), 320);
    EXPECT_GE(window()->height(), 480);

    resizeFromOutside(x, 1280, 800, "main");
    ChooseSongViewController* ctrl = delegate_->ctrl();
    QTest::mouseClick(ctrl->selectButton(), Qt::LeftButton, {}, ctrl->selectButton()->rect().center());
    ASSERT_TRUE(processEventsUntil([&] { return ctrl->modalViewController() && still() && title(x) == "Songs – Ripwell"; }))
        << title(x).toStdString();
    resizeFromOutside(x, 1280, 800, "picker");
    auto* picker = qobject_cast<medialibrary::MediaPickerController*>(ctrl->modalViewController());
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return picker->numberOfRows() == 3; }));
    resizeFromOutside(x, 320, 480, "picker");
    picker->cancel();
    ASSERT_TRUE(processEventsUntil([&] { return !ctrl->modalViewController() && still() && title(x) == "Ripwell"; }));
    resizeFromOutside(x, 320, 480, "main");

    // Asked for less by the program itself, it stays at the phone's size.
    window()->resize(200, 200);
    ASSERT_TRUE(processEventsUntil([&] { return still(); }));
    EXPECT_EQ(window()->size(), QSize(320, 480));
}

} // namespace

// Starts Xvfb on a free display of its own and runs the tests against it
// (listing them needs no server).
int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || QByteArray(argv[i]).startsWith("--gtest_list_tests");
    pid_t xvfb = -1;
    if (!listing) {
        int pipeFds[2];
        if (::pipe(pipeFds) == 0 && (xvfb = ::fork()) == 0) {
            ::close(pipeFds[0]);
            const std::string fd = std::to_string(pipeFds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
                     "-noreset", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        QByteArray display;
        pollfd p{pipeFds[0], POLLIN, 0};
        char c = 0;
        while (::poll(&p, 1, 10000) > 0 && ::read(pipeFds[0], &c, 1) == 1 && c != '\n')
            display += c;
        ::close(pipeFds[0]);
        if (xvfb > 0 && !display.isEmpty()) {
            qputenv("DISPLAY", ":" + display);
            qputenv("QT_QPA_PLATFORM", "xcb");
        } else {
            g_noDisplay = QStringLiteral("Xvfb could not be started (scripts/setup installs it)");
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    }
    qunsetenv("AT_SPI_BUS_ADDRESS");
    QTemporaryDir runtimeDir(QDir::tempPath() + QStringLiteral("/ripwell-runtime-XXXXXX"));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    // A session bus that is not there: without one, libdbus would start its
    // own through dbus-launch, forking this process of many threads, and the
    // child can hang in malloc on a lock another thread held at the fork.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(runtimeDir.path()) + "/no-bus");
    QTemporaryDir cacheDir(QDir::tempPath() + QStringLiteral("/ripwell-cache-XXXXXX"));
    if (cacheDir.isValid())
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheDir.path()));
    int status = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    if (xvfb > 0) {
        ::kill(xvfb, SIGTERM);
        ::waitpid(xvfb, nullptr, 0);
    }
    return status;
}
