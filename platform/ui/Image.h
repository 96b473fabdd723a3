#pragma once
// Images of the application's resources, by file name ("noArtwork.png").

#include <QImage>
#include <QString>

namespace ui {

// The image named `name` from the application's resources (":/images/"), or a
// null image when there is none. Loaded once, then served from memory.
QImage imageNamed(const QString& name);

} // namespace ui
