#pragma once
// Whether GStreamer starts in this process and offers every element Qt
// Multimedia's GStreamer backend builds its player from. Qt 6.4 does not test
// for them and crashes in the QMediaPlayer constructor when one is missing.
// Runs the check once; callable from the main thread only.

namespace playback {

bool gstreamerElementsPresent();

} // namespace playback
