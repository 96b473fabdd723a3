// Kept apart from the Qt sources: GLib's headers use the word `signals`.
#include "platform/playback/GStreamerCheck.h"

#include <gst/gst.h>

namespace playback {

bool gstreamerElementsPresent()
{
    static const bool present = [] {
        GError* error = nullptr;
        if (!gst_init_check(nullptr, nullptr, &error)) {
            g_clear_error(&error);
            return false;
        }
        // The player pipeline, its decoder and its audio and video branches.
        const char* const elements[] = {
            "uridecodebin", "decodebin", "input-selector", "queue", "tee", "fakesink", "identity",
            "audioconvert", "audioresample", "volume", "autoaudiosink", "videoconvert", "videoscale",
        };
        for (const char* name : elements) {
            GstElementFactory* factory = gst_element_factory_find(name);
            if (!factory)
                return false;
            gst_object_unref(factory);
        }
        return true;
    }();
    return present;
}

} // namespace playback
