#include "platform/export/Remux.h"
#include "tests/support/TestSupport.h"
#include "tools/make_library/SongGenerator.h"

#include <QFile>
#include <gtest/gtest.h>

using testsupport::TempDir;

namespace {

TEST(Remux, ProgressRisesToOneAndCancellationLeavesNoFile)
{
    TempDir dir;
    const QString source = dir.file("long.wav");
    ASSERT_TRUE(songgen::writeSong({source, songgen::Format::WavId3, "A", "B", "C", 1, false}, 3, 8.0, 128000, nullptr));

    std::vector<float> seen;
    mediaexport::RemuxJob job;
    job.source = source;
    job.destination = dir.file("out.wav");
    job.output = medialibrary::AudioFormat::Wave;
    job.progress = [&](float p) { seen.push_back(p); };
    ASSERT_FALSE(mediaexport::remux(job));
    ASSERT_GT(seen.size(), 5u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(seen.front(), 0.0f);
    EXPECT_LT(seen.front(), 0.5f);
    EXPECT_FLOAT_EQ(seen.back(), 1.0f);

    // Stopped after a few packets: nothing is left behind.
    int asked = 0;
    job.destination = dir.file("cancelled.wav");
    job.cancelled = [&] { return ++asked > 4; };
    job.progress = nullptr;
    const std::optional<Error> stopped = mediaexport::remux(job);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->kind(), Error::Kind::Cancelled);
    EXPECT_FALSE(QFile::exists(job.destination));
}

} // namespace
