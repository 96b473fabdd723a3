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
// table is reloaded) and tells the delegate. A row whose files the data
// source names can be dragged out of the window, into the file manager or
// any program that takes files. Only one section is supported.

#include "platform/ui/TableViewCell.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <map>
#include <optional>
#include <vector>

namespace ui {

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfSectionsInTableView(TableView*) { return 1; }
    virtual int numberOfRowsInSection(TableView* tableView, int section) = 0;
    // A cell for the row; the table takes ownership.
    virtual TableViewCell* cellForRowAtIndexPath(TableView* tableView, const IndexPath& indexPath) = 0;
    virtual bool canEditRowAtIndexPath(TableView*, const IndexPath&) { return true; }
    virtual void commitEditingStyle(TableView*, TableViewCellEditingStyle, const IndexPath&) {}
    // The files a drag from the row carries out of the window; none: the row
    // is not dragged (a press that moves stays a press).
    virtual QList<QUrl> urlsForDraggingRowAtIndexPath(TableView*, const IndexPath&) { return {}; }
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
    // Whether the row can be dragged out; if so, drags it (returning after the drop).
    bool cellDragged(TableViewCell* cell);
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
