// The table in editing mode: delete controls, the Delete button, and rows
// taken out once the data source has dropped them.
#include "platform/ui/TableView.h"

#include "platform/foundation/Timing.h"
#include "platform/ui/TableViewCellParts.h"

#include <QVariantAnimation>
#include <set>

namespace ui {

void TableView::deleteRowsAtIndexPaths(const std::vector<IndexPath>& indexPaths, TableViewRowAnimation animation)
{
    std::set<int> gone;
    bool valid = true;
    for (const IndexPath& ip : indexPaths) {
        if (ip.section != 0 || ip.row < 0 || ip.row >= rows_)
            valid = false;
        else
            gone.insert(ip.row);
    }
    const int newCount = askRowCount();
    if (!valid || newCount != rows_ - int(gone.size())) {
        // The data source does not agree with the deletion: show what it has.
        reloadData();
        return;
    }
    const auto shift = [&](int row) {
        return row - int(std::distance(gone.begin(), gone.lower_bound(row)));
    };

    if (confirmingRow_) {
        if (auto it = visible_.find(*confirmingRow_); it != visible_.end())
            it->second->setShowingDeleteConfirmation(false, false);
        confirmingRow_.reset();
    }
    if (selectedRow_)
        selectedRow_ = gone.count(*selectedRow_) ? std::nullopt : std::optional<int>(shift(*selectedRow_));

    std::map<int, TableViewCell*> moved;
    const int ms = timing::scaledMilliseconds(kAnimationDuration);
    for (auto& [row, cell] : visible_) {
        if (!gone.count(row)) {
            moved[shift(row)] = cell;
            continue;
        }
        if (animation != TableViewRowAnimation::Fade || ms <= 0) {
            recycle(cell);
            continue;
        }
        // A picture of the row fades out where the row stood; the cell itself
        // goes back to the pool at once.
        auto* picture = new FadingPicture(cell->grab(), viewport());
        picture->setGeometry(cell->geometry());
        picture->lower();
        picture->show();
        recycle(cell);
        auto* fade = new QVariantAnimation(picture);
        fade->setDuration(ms);
        fade->setStartValue(1.0);
        fade->setEndValue(0.0);
        connect(fade, &QVariantAnimation::valueChanged, picture,
                [picture](const QVariant& v) { picture->setOpacity(v.toDouble()); });
        connect(fade, &QVariantAnimation::finished, picture, &QObject::deleteLater);
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    }
    visible_ = std::move(moved);
    rows_ = newCount;
    updateScrollRange();
    layoutCells(animation != TableViewRowAnimation::None);
}

void TableView::setEditing(bool editing, bool animated)
{
    if (editing_ == editing)
        return;
    editing_ = editing;
    confirmingRow_.reset();
    for (auto& [row, cell] : visible_)
        configureEditing(cell, row, animated);
}

void TableView::configureEditing(TableViewCell* cell, int row, bool animated)
{
    TableViewCellEditingStyle style = TableViewCellEditingStyle::None;
    const IndexPath ip = IndexPath::forRow(row);
    if (editing_ && dataSource_ && dataSource_->canEditRowAtIndexPath(this, ip))
        style = delegate_ ? delegate_->editingStyleForRowAtIndexPath(this, ip) : TableViewCellEditingStyle::Delete;
    cell->setEditingStyle(style);
    cell->confirming_ = editing_ && confirmingRow_ == row;
    cell->setEditing(editing_, animated);
}

void TableView::deleteControlTapped(TableViewCell* cell)
{
    const auto ip = indexPathForCell(cell);
    if (!ip || !editing_)
        return;
    if (confirmingRow_ == ip->row) {
        hideDeleteConfirmation(true);
        return;
    }
    hideDeleteConfirmation(true);
    confirmingRow_ = ip->row;
    cell->setShowingDeleteConfirmation(true, true);
}

void TableView::deleteConfirmed(TableViewCell* cell)
{
    const auto ip = indexPathForCell(cell);
    if (!ip || !editing_)
        return;
    const TableViewCellEditingStyle style = cell->editingStyle();
    confirmingRow_.reset();
    cell->confirming_ = false;
    if (dataSource_)
        dataSource_->commitEditingStyle(this, style, *ip);
}

void TableView::hideDeleteConfirmation(bool animated)
{
    if (!confirmingRow_)
        return;
    const int row = *confirmingRow_;
    confirmingRow_.reset();
    if (TableViewCell* cell = cellForRowAtIndexPath(IndexPath::forRow(row)))
        cell->setShowingDeleteConfirmation(false, animated);
}

} // namespace ui
