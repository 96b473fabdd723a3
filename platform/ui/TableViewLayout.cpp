// Which rows have a cell, where the cells stand, and the pool of cells that
// scrolled out.
#include "platform/ui/TableView.h"

#include "platform/ui/Animation.h"
#include "platform/ui/Style.h"

#include <QLabel>
#include <QScrollBar>
#include <algorithm>

namespace ui {

TableViewCell* TableView::dequeueReusableCellWithIdentifier(const QString& identifier)
{
    auto it = pool_.find(identifier);
    if (it == pool_.end() || it->empty())
        return nullptr;
    TableViewCell* cell = it->back();
    it->pop_back();
    cell->prepareForReuse();
    return cell;
}

void TableView::updateScrollRange()
{
    const int vh = viewport()->height();
    const int total = rows_ * rowHeight_;
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(std::max(1, vh));
    bar->setSingleStep(std::max(1, rowHeight_ / 2));
    bar->setRange(0, std::max(0, total - vh));
}

void TableView::recycle(TableViewCell* cell)
{
    cell->hide();
    if (cell->reuseIdentifier().isEmpty()) {
        cell->deleteLater();
        return;
    }
    // Emptied now, not only when taken again: a hidden cell still tells a
    // screen reader its text, which would name a row that is gone.
    cell->prepareForReuse();
    auto& cells = pool_[cell->reuseIdentifier()];
    if (std::find(cells.begin(), cells.end(), cell) == cells.end())
        cells.push_back(cell);
}

void TableView::layoutCells(bool animateMoves)
{
    if (layingOut_)
        return;
    layingOut_ = true;
    const int top = contentOffset();
    const int vh = viewport()->height();
    const int vw = viewport()->width();
    int first = 0;
    int last = -1;
    if (rows_ > 0 && vh > 0) {
        first = std::clamp(top / rowHeight_, 0, rows_ - 1);
        last = std::clamp((top + vh - 1) / rowHeight_, 0, rows_ - 1);
    }

    for (auto it = visible_.begin(); it != visible_.end();) {
        if (it->first < first || it->first > last) {
            TableViewCell* cell = it->second;
            it = visible_.erase(it);
            recycle(cell);
        } else {
            ++it;
        }
    }

    std::vector<std::pair<TableViewCell*, QRect>> moves;
    for (int row = first; row <= last; ++row) {
        const QRect frameOfRow(0, row * rowHeight_ - top, vw, rowHeight_);
        if (auto it = visible_.find(row); it != visible_.end()) {
            if (it->second->geometry() != frameOfRow) {
                if (animateMoves && it->second->width() == vw)
                    moves.emplace_back(it->second, frameOfRow);
                else
                    it->second->setGeometry(frameOfRow);
            }
            continue;
        }
        if (!dataSource_)
            break;
        TableViewCell* cell = dataSource_->cellForRowAtIndexPath(this, IndexPath::forRow(row));
        if (!cell)
            continue;
        cell->table_ = this;
        // A screen reader names the row by what it shows.
        cell->setAccessibleName(cell->textLabel()->text());
        if (cell->parentWidget() != viewport())
            cell->setParent(viewport());
        cell->setGeometry(frameOfRow);
        configureEditing(cell, row, false);
        cell->setSelected(selectedRow_ == row);
        cell->show();
        visible_[row] = cell;
    }
    if (!moves.empty()) {
        animate(kAnimationDuration, [&] {
            for (auto& [cell, target] : moves)
                setFrame(cell, target);
        });
    }
    layingOut_ = false;
}

} // namespace ui
