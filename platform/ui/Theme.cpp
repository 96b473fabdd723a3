#include "platform/ui/Theme.h"

#include <QApplication>
#include <QFont>

namespace ui::theme {

QString styleSheet()
{
    // Accent rgb(89, 191, 252) is (0.35, 0.75, 0.99).
    return QStringLiteral(R"(
QPushButton, QToolButton {
    color: rgb(89, 191, 252);
    background-color: rgba(255, 255, 255, 20);
    border: 2px solid white;
    border-radius: 10px;
    padding: 4px 10px;
    font-weight: bold;
    font-size: 15px;
}
QPushButton:focus, QToolButton:focus {
    border-color: rgb(89, 191, 252);
}
QPushButton:pressed, QToolButton:pressed {
    background-color: rgba(89, 191, 252, 90);
    color: white;
}
QPushButton:disabled, QToolButton:disabled {
    color: rgb(110, 110, 110);
    border-color: rgb(110, 110, 110);
}
QLineEdit {
    color: white;
    background-color: rgb(28, 28, 30);
    border: 2px solid white;
    border-radius: 10px;
    padding: 3px 8px;
    font-size: 14px;
    selection-background-color: rgb(89, 191, 252);
}
QListView, QTableView, QTreeView {
    color: white;
    background-color: black;
    border: none;
    outline: none;
}
QScrollBar:vertical {
    background: transparent;
    width: 6px;
    margin: 2px 1px 2px 0px;
}
QScrollBar::handle:vertical {
    background: rgba(255, 255, 255, 110);
    border-radius: 2px;
    min-height: 24px;
}
QScrollBar::add-line, QScrollBar::sub-line, QScrollBar::add-page, QScrollBar::sub-page {
    background: none;
    height: 0px;
}
QLabel { color: white; }
)");
}

QFont systemFont(int pixelSize, bool bold)
{
    QFont f = QApplication::font();
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

} // namespace ui::theme
