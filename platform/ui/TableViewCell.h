#pragma once
// One row of a TableView: the cell, its index path and its styles.

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

class QAbstractButton;
class QLabel;
class QPushButton;

namespace ui {

class ImageView;
class TableView;
class DeleteControl;
class AccessoryMark;

struct IndexPath {
    int section = 0;
    int row = 0;
    static IndexPath forRow(int row, int section = 0) { return IndexPath{section, row}; }
    friend bool operator==(const IndexPath& a, const IndexPath& b) { return a.section == b.section && a.row == b.row; }
    friend bool operator!=(const IndexPath& a, const IndexPath& b) { return !(a == b); }
};

enum class TableViewCellStyle { Default = 0 };
enum class TableViewCellAccessoryType { None = 0, DetailDisclosureButton = 2 };
enum class TableViewCellEditingStyle { None = 0, Delete = 1, Insert = 2 };
// How deleted rows leave: fading out, or at once.
enum class TableViewRowAnimation { Fade = 0, None = 5 };

// One row's view: an image and a text label, an accessory at the end and a
// background view behind everything.
class TableViewCell : public QWidget {
    Q_OBJECT
public:
    TableViewCell(TableViewCellStyle style, const QString& reuseIdentifier, QWidget* parent = nullptr);
    ~TableViewCell() override;

    QString reuseIdentifier() const { return reuseIdentifier_; }

    QLabel* textLabel() const { return textLabel_; }
    // The text label's colour (white at first).
    QColor textColor() const { return textColor_; }
    void setTextColor(const QColor& color);
    ImageView* imageView() const { return imageView_; }
    // The image in front of the text, shown at its size in points (scaled
    // down to fit the row); a null image leaves the text at the row's start.
    void setImage(const QImage& image);

    TableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(TableViewCellAccessoryType type);
    // Shown at the row's end in place of the accessory type. The cell takes
    // ownership; a replaced view is deleted. nullptr removes it.
    QWidget* accessoryView() const { return accessoryView_; }
    void setAccessoryView(QWidget* view);

    // Fills the whole cell behind its content; owned, a replaced one deleted.
    QWidget* backgroundView() const { return backgroundView_; }
    void setBackgroundView(QWidget* view);

    bool isSelected() const { return selected_; }
    void setSelected(bool selected, bool animated = false);

    bool isEditing() const { return editing_; }
    void setEditing(bool editing, bool animated);
    // The cell's editing look: whether it has a delete control in editing mode.
    TableViewCellEditingStyle editingStyle() const { return editingStyle_; }
    bool showingDeleteConfirmation() const { return confirming_; }

    // The round control in front of the row in editing mode, and the Delete
    // button it brings up; nullptr or hidden while not shown.
    QAbstractButton* deleteControl() const;
    QPushButton* deleteConfirmationButton() const { return deleteButton_; }


    // Clears the text, the image, the accessory type, the selection and the
    // editing state before the table hands the cell out again. The accessory
    // view and the background view stay, for the data source to keep or
    // replace: reusing them spares building widgets while scrolling.
    virtual void prepareForReuse();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TableView;
    void layoutContent(bool animated);
    void layoutLabel();
    QPushButton* ensureDeleteButton();
    void setEditingStyle(TableViewCellEditingStyle style) { editingStyle_ = style; }
    void setShowingDeleteConfirmation(bool show, bool animated);

    QString reuseIdentifier_;
    QPointer<TableView> table_;
    QWidget* selectedView_;
    QWidget* contentView_;
    ImageView* imageView_;
    QLabel* textLabel_;
    AccessoryMark* accessoryMark_;
    DeleteControl* deleteControl_;
    QPushButton* deleteButton_ = nullptr;
    QColor textColor_ = Qt::white;
    QPointer<QWidget> accessoryView_;
    QPointer<QWidget> backgroundView_;
    TableViewCellAccessoryType accessoryType_ = TableViewCellAccessoryType::None;
    TableViewCellEditingStyle editingStyle_ = TableViewCellEditingStyle::None;
    bool selected_ = false;
    bool pressed_ = false;
    QPoint pressedAt_;
    bool editing_ = false;
    bool confirming_ = false;
};

} // namespace ui
