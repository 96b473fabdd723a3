#include "platform/foundation/Destination.h"

#include <gtest/gtest.h>

namespace {

// Each name is changed as little as makes it one Windows can hold.
TEST(Destination, WindowsNamesChangeOnlyWhatWindowsRefuses)
{
    const std::pair<const char*, const char*> names[] = {
        {"R.E.M.", "R.E.M"},     {"Vol. 2.", "Vol. 2"},       {"Artist ", "Artist"},       {"a . .", "a"},
        {"...", "_"},            {"CON", "CON_"},             {"nul.mp3", "nul_.mp3"},     {"Com1.tar.gz", "Com1_.tar.gz"},
        {"CON .txt", "CON_ .txt"}, {"LPT\u00B9", "LPT\u00B9_"}, {"Console", "Console"},   {"COM10", "COM10"},
        {" Intro", " Intro"},    {"Vol. 2..mp3", "Vol. 2..mp3"}, {"Ærø 東京", "Ærø 東京"},
    };
    for (const auto& [name, fitted] : names)
        EXPECT_EQ(destination::windowsName(QString::fromUtf8(name)), QString::fromUtf8(fitted)) << name;
}

TEST(Destination, NamesCompareAsCaseInsensitiveFileSystemsCompareThem)
{
    EXPECT_EQ(destination::comparable("Abba/Gold/Intro.mp3"), destination::comparable("ABBA/gold/INTRO.MP3"));
    EXPECT_EQ(destination::comparable(QString::fromUtf8("Caf\u00E9")), destination::comparable(QString::fromUtf8("CAFE\u0301")));
    EXPECT_NE(destination::comparable("Intro.mp3"), destination::comparable("Intro (2).mp3"));
}

// FAT keeps times to 2 s, in local time without a zone: a stick that has been
// in a computer of another zone reads whole quarter hours off.
TEST(Destination, TimesAreTheSameWithinWhatTheFileSystemKeeps)
{
    constexpr std::int64_t s = 1000000000;
    const std::int64_t t = 1700000000 * s + 123456789;
    const destination::Traits fat{"vfat", true, 2 * s, true};
    EXPECT_TRUE(destination::sameTime(t, t - t % (2 * s), fat));
    EXPECT_TRUE(destination::sameTime(t, t + 3600 * s + s, fat));
    EXPECT_TRUE(destination::sameTime(t, t - 5 * 3600 * s - 30 * 60 * s, fat));
    EXPECT_FALSE(destination::sameTime(t, t + 3 * s, fat));
    EXPECT_FALSE(destination::sameTime(t, t + 37 * 60 * s, fat));
    EXPECT_FALSE(destination::sameTime(t, t + 27 * 3600 * s, fat));
    const destination::Traits ext4{"ext4", false, 0, false};
    EXPECT_TRUE(destination::sameTime(t, t, ext4));
    EXPECT_FALSE(destination::sameTime(t, t + 1, ext4));
    EXPECT_FALSE(destination::sameTime(t, t + 3600 * s, ext4));
}

} // namespace
