#pragma once
// The drawn parts of a table cell, for the table's own files: the delete
// control of editing mode, the accessory mark, and the fading picture a
// deleted row leaves for a moment.

#include "platform/ui/TableViewCell.h"

#include <QAbstractButton>
#include <QPixmap>
#include <QWidget>

namespace ui::tablecell {

constexpr int kDeleteControlSide = 22;
constexpr int kEditingIndent = 38;
constexpr int kAccessorySide = 22;
constexpr int kMargin = 8;
constexpr int kDeleteButtonWidth = 80;
constexpr int kDeleteButtonHeight = 30;

// A replaced view may be the sender of the event being handled: let it go later.
void discard(QWidget* view);

QColor deleteRed();

} // namespace ui::tablecell

namespace ui {

// The round red control in front of a row in editing mode: a white bar lying
// down, standing up while the row's Delete button is shown.
class DeleteControl : public QAbstractButton {
public:
    explicit DeleteControl(QWidget* parent);
    void setTurned(bool turned);
    bool isTurned() const { return turned_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool turned_ = false;
};

// The drawn accessory of a cell without an accessory view.
class AccessoryMark : public QWidget {
public:
    explicit AccessoryMark(QWidget* parent);
    void setType(TableViewCellAccessoryType type);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TableViewCellAccessoryType type_ = TableViewCellAccessoryType::None;
};

// A still picture of a deleted row, fading out.
class FadingPicture : public QWidget {
public:
    FadingPicture(const QPixmap& pixmap, QWidget* parent);
    void setOpacity(double opacity);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap pixmap_;
    double opacity_ = 1.0;
};

} // namespace ui
