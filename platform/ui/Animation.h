#pragma once
// View animations of frames, in the manner of a phone's begin/commit
// animation blocks: frame changes made with ui::setFrame() inside `changes`
// glide from the current frame to the new one over `duration` seconds
// (scaled by timing::scaledMilliseconds), with the platform's default
// ease-in-out curve. `didStop` runs on the main thread once the animation has
// ended: finished is true when it ran to its end, false when it was cut short
// (a later frame change of one of its views, or a view going away).
//
//   ui::animate(0.6, [&] { ui::setFrame(panel, panel->geometry().translated(-290, 0)); },
//               [panel](bool) { panel->deleteLater(); });
//
// A frame set outside any block applies at once and stops a running
// animation of that view. Blocks do not nest: an inner block joins the outer.

#include <functional>

class QWidget;

namespace ui {

void animate(double duration, const std::function<void()>& changes,
             std::function<void(bool finished)> didStop = {});

// Whether a frame animation of `view` is running.
bool isAnimating(const QWidget* view);

} // namespace ui
