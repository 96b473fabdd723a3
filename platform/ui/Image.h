#pragma once
// Images of the application's resources, by file name ("noArtwork.png").

#include <QImage>
#include <QString>

namespace ui {

// The image named `name` from the application's resources (":/images/"), or a
// null image when there is none. On screens of more than one pixel a point it
// is the drawing made for that density when there is one ("noArtwork@2x.png"
// for two), its devicePixelRatio() saying which; draw it at its
// deviceIndependentSize(), never at its size in pixels. Loaded once, then
// served from memory.
QImage imageNamed(const QString& name);

} // namespace ui
