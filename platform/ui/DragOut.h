#pragma once
// Files leave the window by drag and drop: the file manager, a mail program
// or any program that takes files gets them as URLs (text/uri-list).
//
//   ui::dragOutFiles(row, {QUrl::fromLocalFile(path)}, row->imageView()->image());

#include <QList>
#include <QUrl>

class QImage;
class QWidget;

namespace ui {

// Drags the files out of `source`, shown by `picture` under the pointer, as
// their URLs (and their paths as text, for programs that take only text), and
// returns once they were dropped or the drag was given up (at once where the
// platform has no drag and drop). Copies only: the files stay where they are.
void dragOutFiles(QWidget* source, const QList<QUrl>& urls, const QImage& picture);

} // namespace ui
