#include "Classes/ConversionRun.h"
#include "cli/CliOptions.h"
#include "cli/Selection.h"
#include "platform/foundation/Localization.h"

#include <gtest/gtest.h>

namespace {

TEST(CliOptions, ParsesOptionsAndFilters)
{
    cli::Options o;
    QString error;
    ASSERT_TRUE(cli::parseOptions({"--library", "/m", "--documents=/d", "--yes", "Okafor", "--list", "--", "--tide"}, &o, &error));
    EXPECT_EQ(o.library, "/m");
    EXPECT_EQ(o.documents, "/d");
    EXPECT_TRUE(o.yes);
    EXPECT_TRUE(o.list);
    EXPECT_EQ(o.filters, (QStringList{"Okafor", "--tide"}));
    ASSERT_TRUE(cli::parseOptions({"--playlist", "Car", "--playlist=-Party-", "--list", "--playlists"}, &o, &error));
    EXPECT_EQ(o.playlists, (QStringList{"Car", "-Party-"}));
    EXPECT_TRUE(o.listPlaylists && o.list);
    EXPECT_TRUE(o.filters.isEmpty());

    for (const QStringList& bad : {QStringList{"--frobnicate"}, QStringList{"--library"}, QStringList{"--documents", ""},
                                   QStringList{"--library="}, QStringList{"--playlist"}, QStringList{"--playlist="},
                                   QStringList{"--playlists"}}) {
        EXPECT_FALSE(cli::parseOptions(bad, &o, &error)) << bad.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(CliOptions, EveryFilterWordMustMatchIgnoringCase)
{
    EXPECT_TRUE(cli::matchesFilters("Mira Okafor", "Paper Boats", "Slow Train", {}));
    EXPECT_TRUE(cli::matchesFilters("Mira Okafor", "Paper Boats", "Slow Train", {"okafor", "TRAIN"}));
    EXPECT_FALSE(cli::matchesFilters("Mira Okafor", "Paper Boats", "Slow Train", {"okafor", "tide"}));
    EXPECT_TRUE(cli::matchesFilters(QString::fromUtf8("Ærø Strings"), "Vol. 2", "X", {QString::fromUtf8("ærø")}));
    EXPECT_TRUE(cli::matchesFilters("A", "B", "C", {"a / b"})) << "the words match the joined text";
}

// The confirmation takes "y" always, and the translation's own letter only
// while that translation is shown.
TEST(CliOptions, YesIsUnderstoodInTheLanguageShown)
{
    for (const char* yes : {"y", "Y", "yes\n", "  y\n"})
        EXPECT_TRUE(cli::isYes(QString::fromUtf8(yes))) << yes;
    for (const char* no : {"", "\n", "n", "N", "j", "ja", "x"})
        EXPECT_FALSE(cli::isYes(QString::fromUtf8(no))) << no;
    EXPECT_EQ(cli::leftOutText(cli::LeftOut::UnsupportedFormat), "unsupported format");

    ASSERT_TRUE(localization::install(QStringLiteral("de")));
    for (const char* yes : {"j", "J", "ja\n", "y"})
        EXPECT_TRUE(cli::isYes(QString::fromUtf8(yes))) << yes;
    for (const char* no : {"", "n", "nein"})
        EXPECT_FALSE(cli::isYes(QString::fromUtf8(no))) << no;
    EXPECT_EQ(cli::leftOutText(cli::LeftOut::Protected), QString::fromUtf8("geschützt"));
    EXPECT_EQ(cli::leftOutName(cli::LeftOut::Protected), "protected") << "the list's column stays English";
    localization::install(QStringLiteral("en"));
    EXPECT_FALSE(cli::isYes("j")) << "back in English";
}

TEST(CliOptions, BatchPercentAsTheScreenShowsIt)
{
    const auto percent = [](unsigned index, float fraction, int count) {
        return static_cast<int>(ConversionRun::batchFraction(index, fraction, count) * 100.0f);
    };
    EXPECT_EQ(percent(1, 0.5f, 4), 37);
    EXPECT_EQ(percent(2, 0.0f, 3), 66);
    EXPECT_EQ(percent(3, 1.0f, 4), 100);
    EXPECT_EQ(percent(0, 0.0f, 0), 100);
}

TEST(CliOptions, ProgressLineFitsTheTerminal)
{
    const QString line = cli::progressLine(37, 2, 4, "Mira Okafor", "Slow Train", 200);
    EXPECT_EQ(line, QString::fromUtf8("[#######-------------]  37%  2/4  Mira Okafor – Slow Train"));
    EXPECT_EQ(cli::progressLine(250, 1, 1, {}, "T", 200), "[####################] 100%  1/1  T");
    EXPECT_LE(cli::progressLine(50, 1, 2, QString(300, 'x'), "T", 40).size(), 40);
}

} // namespace
