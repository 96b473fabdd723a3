#include "platform/ui/TableView.h"

#include "platform/ui/DragOut.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Style.h"

#include <QEvent>
#include <QScrollBar>
#include <algorithm>

namespace ui {

TableView::TableView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    setBackgroundColor(this, Qt::black);
    setFocusPolicy(Qt::NoFocus);
}

TableView::~TableView()
{
    // Cells are children of the viewport and go with it.
}

void TableView::setDataSource(TableViewDataSource* dataSource)
{
    dataSource_ = dataSource;
    reloadData();
}

void TableView::setRowHeight(int height)
{
    rowHeight_ = std::max(1, height);
    updateScrollRange();
    layoutCells();
}

int TableView::numberOfRowsInSection(int section) const
{
    return section == 0 ? rows_ : 0;
}

int TableView::askRowCount() const
{
    if (!dataSource_)
        return 0;
    return std::max(0, dataSource_->numberOfRowsInSection(const_cast<TableView*>(this), 0));
}

void TableView::reloadData()
{
    confirmingRow_.reset();
    selectedRow_.reset();
    std::vector<TableViewCell*> cells;
    for (auto& [row, cell] : visible_)
        cells.push_back(cell);
    visible_.clear();
    for (TableViewCell* cell : cells)
        recycle(cell);
    rows_ = askRowCount();
    updateScrollRange();
    layoutCells();
}

TableViewCell* TableView::cellForRowAtIndexPath(const IndexPath& indexPath) const
{
    if (indexPath.section != 0)
        return nullptr;
    auto it = visible_.find(indexPath.row);
    return it == visible_.end() ? nullptr : it->second;
}

std::vector<TableViewCell*> TableView::visibleCells() const
{
    std::vector<TableViewCell*> cells;
    for (const auto& [row, cell] : visible_)
        cells.push_back(cell);
    return cells;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell* cell) const
{
    for (const auto& [row, c] : visible_)
        if (c == cell)
            return IndexPath::forRow(row);
    return std::nullopt;
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(const QPoint& point) const
{
    if (point.x() < 0 || point.x() >= viewport()->width() || point.y() < 0)
        return std::nullopt;
    const int row = point.y() / rowHeight_;
    if (row >= rows_)
        return std::nullopt;
    return IndexPath::forRow(row);
}

QRect TableView::rectForRowAtIndexPath(const IndexPath& indexPath) const
{
    if (indexPath.section != 0 || indexPath.row < 0 || indexPath.row >= rows_)
        return QRect();
    return QRect(0, indexPath.row * rowHeight_, viewport()->width(), rowHeight_);
}

std::optional<IndexPath> TableView::indexPathForSelectedRow() const
{
    if (!selectedRow_)
        return std::nullopt;
    return IndexPath::forRow(*selectedRow_);
}

void TableView::selectRowAtIndexPath(const IndexPath& indexPath, bool animated)
{
    if (indexPath.section != 0 || indexPath.row < 0 || indexPath.row >= rows_)
        return;
    if (selectedRow_)
        if (TableViewCell* old = cellForRowAtIndexPath(IndexPath::forRow(*selectedRow_)))
            old->setSelected(false, animated);
    selectedRow_ = indexPath.row;
    if (TableViewCell* cell = cellForRowAtIndexPath(indexPath))
        cell->setSelected(true, animated);
}

void TableView::deselectRowAtIndexPath(const IndexPath& indexPath, bool animated)
{
    if (selectedRow_ != indexPath.row || indexPath.section != 0)
        return;
    selectedRow_.reset();
    if (TableViewCell* cell = cellForRowAtIndexPath(indexPath))
        cell->setSelected(false, animated);
}

int TableView::contentOffset() const
{
    return verticalScrollBar()->value();
}

void TableView::setContentOffset(int y)
{
    verticalScrollBar()->setValue(y);
}

void TableView::scrollToRowAtIndexPath(const IndexPath& indexPath)
{
    const QRect r = rectForRowAtIndexPath(indexPath);
    if (r.isNull())
        return;
    const int top = contentOffset();
    const int vh = viewport()->height();
    if (r.top() < top)
        setContentOffset(r.top());
    else if (r.bottom() >= top + vh)
        setContentOffset(r.bottom() + 1 - vh);
}

QPoint TableView::contentPoint(const QPoint& widgetPoint) const
{
    return viewport()->mapFrom(this, widgetPoint) + QPoint(0, contentOffset());
}

int TableView::numberOfCellWidgets() const
{
    int n = int(visible_.size());
    for (const auto& cells : pool_)
        n += int(cells.size());
    return n;
}

void TableView::scrollContentsBy(int, int)
{
    layoutCells();
}

void TableView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
    layoutCells();
}

bool TableView::viewportEvent(QEvent* event)
{
    // A tap on the empty part of the table takes a Delete button away.
    if (event->type() == QEvent::MouseButtonRelease && confirmingRow_)
        hideDeleteConfirmation(true);
    return QAbstractScrollArea::viewportEvent(event);
}

bool TableView::cellDragged(TableViewCell* cell)
{
    const auto ip = indexPathForCell(cell);
    if (!ip || editing_ || !dataSource_)
        return false;
    const QList<QUrl> urls = dataSource_->urlsForDraggingRowAtIndexPath(this, *ip);
    if (urls.isEmpty())
        return false;
    dragOutFiles(cell, urls, cell->imageView()->image());
    return true;
}

void TableView::cellTapped(TableViewCell* cell)
{
    const auto ip = indexPathForCell(cell);
    if (!ip)
        return;
    if (editing_) {
        if (confirmingRow_)
            hideDeleteConfirmation(true);
        return;
    }
    selectRowAtIndexPath(*ip, false);
    if (delegate_)
        delegate_->didSelectRowAtIndexPath(this, *ip);
}

} // namespace ui
