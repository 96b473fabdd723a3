#include "platform/foundation/Timing.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UrlCatcher.h"

#include <gtest/gtest.h>

namespace {

TEST(ImageTest, TheApplicationsImagesAreInItsResourcesAtOneAndTwoPixelsAPoint)
{
    for (const char* name :
         {"noArtwork.png", "successful.png", "failed.png", "folder.png", "file.png", "mail.png", "playlist.png"}) {
        SCOPED_TRACE(name);
        const QImage image = ui::imageNamed(QString::fromLatin1(name));
        ASSERT_FALSE(image.isNull());
        EXPECT_GE(image.width(), 16);
        EXPECT_TRUE(image.hasAlphaChannel() || QByteArray(name) == "noArtwork.png");
        // The same drawing for screens of two pixels a point.
        const QString dense = QStringLiteral(":/images/%1@2x.png").arg(QString::fromLatin1(name).chopped(4));
        EXPECT_EQ(QImage(dense).size(), image.size() * 2);
    }
    EXPECT_TRUE(ui::imageNamed("nothing.png").isNull());
}

TEST(ActivityIndicatorTest, ShowsWhileAnimatingAndTurns)
{
    timing::setScale(0.05);
    QWidget parent;
    auto* spinner = new ui::ActivityIndicatorView(&parent);
    parent.show();
    EXPECT_FALSE(spinner->isVisible());
    spinner->startAnimating();
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_TRUE(spinner->isVisible());
    const QImage first = spinner->grab().toImage();
    ASSERT_TRUE(testsupport::processEventsUntil([&] { return spinner->grab().toImage() != first; }, 2000));
    spinner->stopAnimating();
    EXPECT_FALSE(spinner->isAnimating());
    EXPECT_FALSE(spinner->isVisible());
    spinner->setHidesWhenStopped(false);
    EXPECT_TRUE(spinner->isVisible());
    timing::setScale(1.0);
}

TEST(ApplicationTest, OpenURLGoesToTheDesktopsHandler)
{
    testsupport::UrlCatcher catcher("https");
    EXPECT_TRUE(ui::Application::sharedApplication()->openURL(QUrl("https://example.org/ripwell")));
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0], QUrl("https://example.org/ripwell"));
}

} // namespace
