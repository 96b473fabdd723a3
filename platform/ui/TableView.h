#pragma once
// A one-column table in the manner of a phone's table view: a data source
// says how many rows there are and hands out a cell for each row that comes
// into sight; a delegate hears of selections. Only rows on screen have a
// cell widget: a cell that scrolls out goes into a pool by its reuse
// identifier, and the data source takes it back out with
// dequeueReusableCellWithIdentifier(), so a list of 10,000 rows lives on a
// dozen widgets.
//
//   TableViewCell* MyScreen::cellForRowAtIndexPath(ui::TableView* table, const ui::IndexPath& indexPath)
//   {
//       ui::TableViewCell* cell = table->dequeueReusableCellWithIdentifier("Cell");
//       if (!cell)
//           cell = new ui::TableViewCell(ui::TableViewCellStyle::Default, "Cell");
//       cell->textLabel()->setText(names_[indexPath.row]);
//       return cell;
//   }
//
// Editing mode puts a round delete control in front of every row that the
// data source lets be edited; tapping it turns the control and brings up a
// Delete button at the row's end, and tapping that button hands the row to
// the data source's commitEditingStyle(). The data source removes its entry
// and then calls deleteRowsAtIndexPaths() (or reloadData()). Rows are not
// selected while editing.
//
// A tap on a row selects it (it stays highlighted until deselected or the
// table is reloaded) and tells the delegate. Only one section is supported.

#include <QAbstractScrollArea>
#include <QHash>
#include <QColor>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <map>
#include <optional>
#include <vector>

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
enum class TableViewCellAccessoryType { None = 0, DisclosureIndicator = 1, DetailDisclosureButton = 2, Checkmark = 3 };
enum class TableViewCellEditingStyle { None = 0, Delete = 1, Insert = 2 };
enum class TableViewRowAnimation { Fade = 0, Right, Left, Top, Bottom, None, Middle };

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
    // The image in front of the text, shown at its size (scaled down to fit
    // the row); a null image leaves the text at the row's start.
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
    void mouseReleaseEvent(QMouseEvent* event) override;
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
    bool editing_ = false;
    bool confirming_ = false;
};

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfSectionsInTableView(TableView*) { return 1; }
    virtual int numberOfRowsInSection(TableView* tableView, int section) = 0;
    // A cell for the row; the table takes ownership.
    virtual TableViewCell* cellForRowAtIndexPath(TableView* tableView, const IndexPath& indexPath) = 0;
    virtual bool canEditRowAtIndexPath(TableView*, const IndexPath&) { return true; }
    virtual void commitEditingStyle(TableView*, TableViewCellEditingStyle, const IndexPath&) {}
};

class TableViewDelegate {
public:
    virtual ~TableViewDelegate() = default;
    virtual void didSelectRowAtIndexPath(TableView* tableView, const IndexPath& indexPath) = 0;
    virtual TableViewCellEditingStyle editingStyleForRowAtIndexPath(TableView*, const IndexPath&)
    {
        return TableViewCellEditingStyle::Delete;
    }
};

class TableView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kDefaultRowHeight = 44;
    // Duration of the editing slide and of a row's fade, in seconds before scaling.
    static constexpr double kAnimationDuration = 0.3;

    explicit TableView(QWidget* parent = nullptr);
    ~TableView() override;

    TableViewDataSource* dataSource() const { return dataSource_; }
    void setDataSource(TableViewDataSource* dataSource);
    TableViewDelegate* delegate() const { return delegate_; }
    void setDelegate(TableViewDelegate* delegate) { delegate_ = delegate; }

    int rowHeight() const { return rowHeight_; }
    void setRowHeight(int height);

    int numberOfSections() const { return 1; }
    int numberOfRowsInSection(int section = 0) const;

    // Asks the data source for everything again; clears the selection.
    void reloadData();
    // Takes rows out after the data source has dropped their entries; the
    // rows below move up. When the data source's count does not agree with
    // the deletion, the table reloads everything instead.
    void deleteRowsAtIndexPaths(const std::vector<IndexPath>& indexPaths, TableViewRowAnimation animation);

    bool isEditing() const { return editing_; }
    void setEditing(bool editing, bool animated);

    // A cell from the pool of cells that scrolled out or were reloaded, made
    // blank again; nullptr when the pool holds none with that identifier.
    TableViewCell* dequeueReusableCellWithIdentifier(const QString& identifier);
    // The cell of a row on screen, or nullptr.
    TableViewCell* cellForRowAtIndexPath(const IndexPath& indexPath) const;
    std::vector<TableViewCell*> visibleCells() const;
    std::optional<IndexPath> indexPathForCell(const TableViewCell* cell) const;
    // The row under a point in the table's content coordinates (see
    // contentPoint()), or none.
    std::optional<IndexPath> indexPathForRowAtPoint(const QPoint& point) const;
    QRect rectForRowAtIndexPath(const IndexPath& indexPath) const; // content coordinates

    std::optional<IndexPath> indexPathForSelectedRow() const;
    void selectRowAtIndexPath(const IndexPath& indexPath, bool animated);
    void deselectRowAtIndexPath(const IndexPath& indexPath, bool animated);

    // Scroll position: the content point at the top of the view.
    int contentOffset() const;
    void setContentOffset(int y);
    void scrollToRowAtIndexPath(const IndexPath& indexPath);
    // A point in this widget's coordinates, in content coordinates.
    QPoint contentPoint(const QPoint& widgetPoint) const;

    // Cell widgets the table holds (on screen and pooled).
    int numberOfCellWidgets() const;

protected:
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    friend class TableViewCell;
    void cellTapped(TableViewCell* cell);
    void deleteControlTapped(TableViewCell* cell);
    void deleteConfirmed(TableViewCell* cell);
    void hideDeleteConfirmation(bool animated);
    void updateScrollRange();
    // Places cells for the rows in sight, recycling the others.
    void layoutCells(bool animateMoves = false);
    void recycle(TableViewCell* cell);
    void configureEditing(TableViewCell* cell, int row, bool animated);
    int askRowCount() const;

    TableViewDataSource* dataSource_ = nullptr;
    TableViewDelegate* delegate_ = nullptr;
    int rowHeight_ = kDefaultRowHeight;
    int rows_ = 0;
    bool editing_ = false;
    std::optional<int> selectedRow_;
    std::optional<int> confirmingRow_;
    std::map<int, TableViewCell*> visible_;
    QHash<QString, std::vector<TableViewCell*>> pool_;
    bool layingOut_ = false;
};

} // namespace ui
