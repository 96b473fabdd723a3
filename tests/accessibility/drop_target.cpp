// A window that takes dropped files and prints their paths, one a line, for
// the screen-reader flow's real drag under Xvfb; "entered" when a drag of
// files has come over it.
//
//   ripwell-drop-target X Y   (the window's top left corner on the screen)

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

class DropTarget : public QWidget {
public:
    DropTarget()
    {
        setAcceptDrops(true);
        setWindowTitle(QStringLiteral("Drop target"));
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (!event->mimeData()->hasUrls())
            return;
        event->acceptProposedAction();
        std::printf("entered\n"); // the drop can come now
        std::fflush(stdout);
    }
    void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override
    {
        for (const QUrl& url : event->mimeData()->urls())
            std::printf("dropped %s\n", qPrintable(url.toLocalFile()));
        std::fflush(stdout);
        event->acceptProposedAction();
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "Usage: ripwell-drop-target X Y\n");
        return 2;
    }
    DropTarget target;
    target.setGeometry(std::atoi(argv[1]), std::atoi(argv[2]), 240, 240);
    target.show();
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
