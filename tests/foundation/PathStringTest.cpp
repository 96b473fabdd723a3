#include "platform/foundation/PathString.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* in;
    const char* arg;
    const char* out;
};

TEST(PathString, AppendingComponentPutsExactlyOneSlashBetween)
{
    const Case cases[] = {
        {"/tmp", "scratch.tiff", "/tmp/scratch.tiff"},
        {"/tmp/", "scratch.tiff", "/tmp/scratch.tiff"},
        {"/tmp", "/scratch.tiff", "/tmp/scratch.tiff"},
        {"/tmp//", "//scratch", "/tmp/scratch"},
        {"/", "scratch", "/scratch"},
        {"", "scratch.tiff", "scratch.tiff"},
        {"/tmp", "", "/tmp"},
        {"A", "B/C", "A/B/C"},
        {"A", "B/", "A/B"},
        {"/docs", "Live/Unplugged", "/docs/Live/Unplugged"},
        {"/docs", "A/B /C", "/docs/A/B /C"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(path::appendingComponent(QString::fromUtf8(c.in), QString::fromUtf8(c.arg)), QString::fromUtf8(c.out))
            << c.in << " + " << c.arg;
}

TEST(PathString, DeletingLastComponent)
{
    const Case cases[] = {
        {"/tmp/scratch.tiff", "", "/tmp"},
        {"/tmp/lock/", "", "/tmp"},
        {"/tmp/", "", "/"},
        {"/tmp", "", "/"},
        {"/", "", "/"},
        {"scratch.tiff", "", ""},
        {"a/b", "", "a"},
        {"", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(path::deletingLastComponent(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(PathString, ExtensionAndDeletingExtension)
{
    // input, extension, without extension
    const Case cases[] = {
        {"/tmp/scratch.tiff", "tiff", "/tmp/scratch"},
        {"/tmp/scratch", "", "/tmp/scratch"},
        {"/tmp/", "", "/tmp"},
        {"/tmp/A.B.mp3", "mp3", "/tmp/A.B"},
        {"scratch..tiff", "tiff", "scratch."},
        {".hidden", "", ".hidden"},
        {"/music/.hidden", "", "/music/.hidden"},
        {".hidden.mp3", "mp3", ".hidden"},
        {"/a.dir/file", "", "/a.dir/file"},
        {"Vol. 2", " 2", "Vol"},
        {"name.", "", "name"},
        {"/", "", "/"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(path::extension(QString::fromUtf8(c.in)), QString::fromUtf8(c.arg)) << c.in;
        EXPECT_EQ(path::deletingExtension(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
    }
}

TEST(PathString, LastComponentAndAppendingExtension)
{
    EXPECT_EQ(path::lastComponent("/tmp/scratch.tiff"), "scratch.tiff");
    EXPECT_EQ(path::lastComponent("/tmp/"), "tmp");
    EXPECT_EQ(path::lastComponent("scratch///"), "scratch");
    EXPECT_EQ(path::lastComponent("/"), "/");
    EXPECT_EQ(path::appendingExtension("/docs/A/Vol. 2", "mp3"), "/docs/A/Vol. 2.mp3");
    EXPECT_EQ(path::appendingExtension("/docs/A/", "aif"), "/docs/A.aif");
    EXPECT_EQ(path::appendingExtension("/docs/A", ""), "/docs/A");
}

} // namespace
