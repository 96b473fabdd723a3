#include "platform/foundation/Url.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

TEST(Url, FileUrlRoundTripsPathsWithSpacesAndNonAscii)
{
    const QString p = QString::fromUtf8("/home/u/Documents/Ripwell/Ærø Strings/Vol. 2/Why (Live).mp3");
    const Url u = Url::fileURLWithPath(p);
    EXPECT_TRUE(u.isFileURL());
    EXPECT_EQ(u.path(), p);
    EXPECT_EQ(u.pathExtension(), "mp3");
    EXPECT_EQ(u.lastPathComponent(), "Why (Live).mp3");
    EXPECT_TRUE(u.absoluteString().startsWith("file:///home/u/Documents/Ripwell/"));
    EXPECT_FALSE(u.absoluteString().contains(u' ')) << "text form is percent-encoded";
    EXPECT_EQ(Url::fromString(u.absoluteString()), u);
}

TEST(Url, TemporaryMovieBesideDestination)
{
    const Url dest = Url::fileURLWithPath("/docs/A/A.B.mp3");
    const Url movie = dest.URLByDeletingPathExtension().URLByAppendingPathExtension("mov");
    EXPECT_EQ(movie.path(), "/docs/A/A.B.mov");
    EXPECT_EQ(Url::fileURLWithPath("/docs/Title.mp3").URLByDeletingPathExtension().path(), "/docs/Title");
}

TEST(Url, LibraryAssetUrlKeepsQueryAndNamesItsFormat)
{
    const Url u = Url::fromString("library://item/item.mp3?id=1234567890");
    ASSERT_FALSE(u.isEmpty());
    EXPECT_FALSE(u.isFileURL());
    EXPECT_EQ(u.scheme(), "library");
    EXPECT_EQ(u.path(), "/item.mp3");
    EXPECT_EQ(u.pathExtension(), "mp3") << "the query is not part of the path";
    EXPECT_EQ(u.query(), "id=1234567890");
    EXPECT_EQ(u.absoluteString(), "library://item/item.mp3?id=1234567890");
    EXPECT_EQ(Url::fromString("library://item/item.aif?id=7").pathExtension(), "aif");
    EXPECT_EQ(Url::fromString("library://item/item?id=7").pathExtension(), "");
}

TEST(Url, EqualUrlsAreOneKey)
{
    QSet<Url> keys;
    keys.insert(Url::fromString("library://item/item.mp3?id=1"));
    keys.insert(Url::fromString("library://item/item.mp3?id=1"));
    keys.insert(Url::fromString("library://item/item.mp3?id=2"));
    EXPECT_EQ(keys.size(), 2);
}

TEST(Url, EmptyAndMalformedInput)
{
    EXPECT_TRUE(Url::fromString("").isEmpty());
    EXPECT_TRUE(Url::fromString("no scheme here").isEmpty());
    EXPECT_TRUE(Url::fileURLWithPath("").isEmpty());
    EXPECT_EQ(Url().pathExtension(), "");
    EXPECT_TRUE(Url().URLByAppendingPathExtension("mp3").isEmpty());
}

} // namespace
