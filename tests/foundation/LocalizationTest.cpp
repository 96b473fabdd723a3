#include "platform/foundation/Localization.h"

#include <gtest/gtest.h>

namespace {

class Localization : public ::testing::Test {
protected:
    void TearDown() override { localization::install("en"); }
};

TEST_F(Localization, EnglishTextIsTheKeyWithoutATable)
{
    EXPECT_FALSE(localization::install("en"));
    EXPECT_EQ(L("Select media for extraction"), "Select media for extraction");
    EXPECT_EQ(L("Some text nobody translated"), "Some text nobody translated");
}

TEST_F(Localization, GermanTableTranslatesAndFallsBackToTheKey)
{
    ASSERT_TRUE(localization::install("de_DE"));
    EXPECT_EQ(L("Next"), "Weiter");
    EXPECT_EQ(L("Conversion completed"), "Konvertierung abgeschlossen");
    EXPECT_EQ(L("Skipped files"), QString::fromUtf8("Übersprungene Dateien"));
    EXPECT_EQ(localization::localizedString(QStringLiteral("File manager")), "Dateimanager");
    EXPECT_EQ(L("Some text nobody translated"), "Some text nobody translated");
    EXPECT_EQ(L("%d%%"), "%d%%");
}

TEST_F(Localization, UnknownLanguageLeavesEnglish)
{
    EXPECT_FALSE(localization::install("xx"));
    EXPECT_EQ(L("Next"), "Next");
}

} // namespace
