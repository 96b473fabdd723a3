#include "Classes/OutputNaming.h"
#include "platform/library/AssetURL.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <unistd.h>

using testsupport::TempDir;

namespace {

using Tag = std::optional<QString>;
const Tag none = std::nullopt;

TEST(CleanUpFilename, RemovesTheSeventeenCharactersAndTrimsTheEnds)
{
    EXPECT_EQ(cleanUpFilename(QString::fromUtf8(":;\\|><!?$*%+='^`\"")), "");
    EXPECT_EQ(cleanUpFilename("a:b;c\\d|e>f<g!h?i$j*k%l+m=n'o^p`q\"r"), "abcdefghijklmnopqr");
    EXPECT_EQ(cleanUpFilename("Why? (Live)"), "Why (Live)");
    EXPECT_EQ(cleanUpFilename(" \"Intro\""), "Intro");
    // Everything else stays, "/" included.
    const QString kept = QString::fromUtf8("A/B.,&()[]#@~-_ Ærø 東京 😀");
    EXPECT_EQ(cleanUpFilename(kept), kept);
    // Whitespace and line breaks go at both ends only; the control characters
    // among them go everywhere.
    const QString ends = QString::fromUtf8("\t\n\v\f\r \u0085\u00a0\u2028\u2029\u3000");
    const QString spaces = QString::fromUtf8(" \u00a0\u2028\u2029\u3000");
    EXPECT_EQ(cleanUpFilename(ends + "in" + ends + "side" + ends), "in" + spaces + "side");
    EXPECT_EQ(cleanUpFilename(" ? ! "), "");
    const QString arg = " keep? ";
    cleanUpFilename(arg);
    EXPECT_EQ(arg, " keep? ") << "the argument is not changed";
}

TEST(CleanUpFilename, RemovesControlCharactersThatTagsBring)
{

    // Newline, tab, CR, an escape sequence that would clear a terminal, one
    // that would retitle it, DEL and C1 controls.
    EXPECT_EQ(cleanUpFilename(QString::fromUtf8("Line\nBreak\tTab\rCR\x1b[2J\x1b]0;x\x07\x7f\u0085\u009b.")),
              "LineBreakTabCR[2J]0x.");
    EXPECT_EQ(cleanUpFilename(QString(QChar(0)) + "A/B" + QChar(0x1f)), "A/B");
    const QString kept = QString::fromUtf8("\u00a0Ç\u200b");
    EXPECT_EQ(cleanUpFilename("x" + kept + "x"), "x" + kept + "x");
}

// Found by fuzzing: empty artist and album, and a title that is only slashes,
// spaces and removed characters, once named the documents directory itself
// plus the extension: a file beside the folder instead of inside it.
TEST(OutputURL, NothingLeftOfTheNameStillGivesAFileInside)
{
    TempDir docs;
    const Url asset = medialibrary::makeAssetURL("m4a", 1);
    EXPECT_EQ(outputURLForItem(asset, QString::fromUtf8("/'/\x01 /"), QString(), QString(), docs.path()).path(),
              docs.file("Untitled.m4a"));
}

struct Row {
    Tag title, artist, album;
    QString ext;
    QString expected; // relative to the documents directory
};

TEST(OutputURL, NamesFromTags)
{
    const QString long300 = QString(300, u'x');
    const Row rows[] = {
        // The rule.
        {"C", "A", "B", "m4a", "A/B/C.m4a"},
        {"C", "A", none, "mp3", "A/C.mp3"},
        {"C", none, "B", "mp3", "C.mp3"},
        {"Live/Unplugged", none, none, "mp3", "Live/Unplugged.mp3"},
        {"Why? (Live)", "A", "B", "wav", "A/B/Why (Live).wav"},
        {" \"Intro\"", none, none, "mp3", "Intro.mp3"},
        {"C", " A", "B ", "mp3", "A/B /C.mp3"},
        {"C", "A", "B", "aif", "A/B/C.aif"},
        {"Vol. 2", "A", "B", "mp3", "A/B/Vol. 2.mp3"},
        {QString::fromUtf8("Café Noir"), QString::fromUtf8("Ærø Strings"), QString::fromUtf8("Über den Wolken"), "m4a",
         QString::fromUtf8("Ærø Strings/Über den Wolken/Café Noir.m4a")},
        // Tags never lead out of the documents directory.
        {"..", none, none, "mp3", "_.mp3"},
        {".", none, none, "mp3", "_.mp3"},
        {"../../x", none, none, "mp3", "_/_/x.mp3"},
        {"passwd", "/etc", none, "mp3", "etc/passwd.mp3"},
        {"c", "a/../../b", none, "mp3", "a/_/_/b/c.mp3"},
        {"..", "..", "..", "mp3", "_/_/_.mp3"},
        {"x", "...", "..a", "mp3", ".../..a/x.mp3"},
        {"C", "", "B", "mp3", "B/C.mp3"},
        {"C", "A//", "/B/", "mp3", "A/B/C.mp3"},
        // Untitled, still in its folders.
        {none, "A", "B", "mp3", "A/B/Untitled.mp3"},
        {none, none, none, "mp3", "Untitled.mp3"},
        {"?*:", none, none, "mp3", "Untitled.mp3"},
        {" !? ", "A", "B", "mp3", "A/B/Untitled.mp3"},
        {"", "A", none, "mp3", "A/Untitled.mp3"},
        {"/", "A", none, "mp3", "A/Untitled.mp3"},
        // Long names are cut to fit, the extension kept.
        {long300, none, none, "mp3", QString(251, u'x') + ".mp3"},
        {"C", long300, long300, "wav", QString(255, u'x') + "/" + QString(255, u'x') + "/C.wav"},
    };
    for (const Row& r : rows) {
        TempDir docs;
        SCOPED_TRACE(r.expected.toStdString());
        const Url url = outputURLForItem(medialibrary::makeAssetURL(r.ext, 1), r.title, r.artist, r.album, docs.path());
        ASSERT_TRUE(url.isFileURL());
        EXPECT_EQ(url.path(), docs.path() + "/" + r.expected);
        EXPECT_TRUE(QFileInfo(url.path()).dir().exists()) << "its folder is made";
        const QString clean = QDir::cleanPath(url.path());
        EXPECT_TRUE(clean.startsWith(docs.path() + "/")) << clean.toStdString();
    }
}

TEST(OutputURL, LongNamesAreCutBetweenCharacters)
{
    TempDir docs;
    const QString accents = QString(150, QChar(0xE9));  // 300 bytes
    QString emoji;
    for (int i = 0; i < 80; ++i)
        emoji += QString::fromUtf8("😀"); // 320 bytes
    const Url a = outputURLForItem(medialibrary::makeAssetURL("m4a", 1), accents, emoji, none, docs.path());
    const QString file = QFileInfo(a.path()).fileName();
    const QString folder = QFileInfo(a.path()).dir().dirName();
    EXPECT_EQ(file, QString(125, QChar(0xE9)) + ".m4a"); // 250 bytes + ".m4a"
    EXPECT_LE(file.toUtf8().size(), 255);
    EXPECT_EQ(folder.size(), 2 * 63) << "63 whole emoji, 252 bytes";
    EXPECT_TRUE(emoji.startsWith(folder));
    EXPECT_TRUE(QFileInfo(a.path()).dir().exists());
}

TEST(OutputURL, Folders)
{
    TempDir docs;
    const Url asset = medialibrary::makeAssetURL("mp3", 1);
    // Made when missing, reused when there.
    const Url first = outputURLForItem(asset, "C", "A", "B", docs.path());
    ASSERT_TRUE(QDir(docs.file("A/B")).exists());
    testsupport::writeFile(first.path(), "x");
    EXPECT_EQ(outputURLForItem(asset, "C", "A", "B", docs.path()), first) << "same tags, same file";
    EXPECT_TRUE(QFileInfo::exists(first.path()));

    // No artist: nothing to make.
    outputURLForItem(asset, "C", none, "B", docs.path());
    EXPECT_EQ(QDir(docs.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"A"});

    // A plain file where the folder should be stays a file.
    testsupport::writeFile(docs.file("F"), "a file");
    const Url blocked = outputURLForItem(asset, "C", "F", none, docs.path());
    EXPECT_EQ(blocked.path(), docs.file("F/C.mp3"));
    EXPECT_TRUE(QFileInfo(docs.file("F")).isFile());

    // A folder that cannot be made is named, with the cause.
    QString why;
    outputURLForItem(asset, "C", "F", "B", docs.path(), &why);
    EXPECT_EQ(why, "Could not create folder " + docs.file("F/B") + ": Not a directory");
    if (::geteuid() != 0) { // root writes into read-only folders
        QDir().mkpath(docs.file("RO"));
        QFile::setPermissions(docs.file("RO"), QFile::ReadOwner | QFile::ExeOwner);
        why.clear();
        outputURLForItem(asset, "C", "RO", "B", docs.path(), &why);
        EXPECT_EQ(why, "Could not create folder " + docs.file("RO/B") + ": Permission denied");
        QFile::setPermissions(docs.file("RO"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    why.clear();
    outputURLForItem(asset, "C", "A", "B", docs.path(), &why);
    EXPECT_TRUE(why.isEmpty());
}

} // namespace
