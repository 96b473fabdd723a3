#include "platform/library/PickerModel.h"

#include "platform/library/MediaPickerController.h"

#include <QPointer>

namespace medialibrary {

PickerModel::PickerModel(MediaPickerController* picker) : QAbstractListModel(picker), picker_(picker)
{
    setFilter({});
}

int PickerModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant PickerModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return item(index.row()).displayTitle();
    if (role == Qt::CheckStateRole) // what a screen reader says of the row's tick
        return picker_->isRowChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::AccessibleDescriptionRole) // why a dimmed row is left out
        return MediaPickerController::leftOutText(item(index.row()));
    return {};
}

Qt::ItemFlags PickerModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || !MediaPickerController::isPickable(item(index.row())))
        return QAbstractListModel::flags(index) & ~Qt::ItemIsUserCheckable;
    return QAbstractListModel::flags(index) | Qt::ItemIsUserCheckable;
}

const MediaItem& PickerModel::item(int row) const
{
    return picker_->all_[rows_[static_cast<std::size_t>(row)]];
}

// Built on first use after each filtering: the search itself stays fast.
int PickerModel::rowOf(quint64 id) const
{
    if (rowOfId_.isEmpty() && !rows_.empty()) {
        rowOfId_.reserve(qsizetype(rows_.size()));
        for (std::size_t row = 0; row < rows_.size(); ++row)
            rowOfId_.insert(picker_->all_[rows_[row]].persistentID(), int(row));
    }
    return rowOfId_.value(id, -1);
}

void PickerModel::setFilter(const QString& text)
{
    QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    for (QString& w : words)
        w = w.toCaseFolded();
    beginResetModel();
    rows_.clear();
    rowOfId_.clear();
    const std::vector<QString>& keys = picker_->searchKeys_;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        bool match = true;
        for (const QString& w : words) {
            if (!keys[i].contains(w)) {
                match = false;
                break;
            }
        }
        if (match)
            rows_.push_back(i);
    }
    endResetModel();
}

void PickerModel::refresh(quint64 id)
{
    const int row = rowOf(id);
    if (row >= 0)
        emit dataChanged(index(row), index(row));
}

PickerTickSelection::PickerTickSelection(PickerModel* model, std::function<void(int)> tap)
    : QItemSelectionModel(model, model), tap_(std::move(tap))
{
}

void PickerTickSelection::select(const QModelIndex& index, SelectionFlags command)
{
    if (showing_)
        return QItemSelectionModel::select(index, command);
    // Exactly a selection or a deselection of one row: what an accessible
    // row's action asks for. (The view itself toggles, or asks for nothing.)
    const SelectionFlags what = command & (Select | Deselect | Toggle | Clear);
    if (!index.isValid() || (what != Select && what != Deselect))
        return;
    const bool ticked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    if (ticked == (what == Select))
        return;
    const QPointer<PickerTickSelection> alive(this);
    const int row = index.row();
    tap_(row); // shows the new tick through showTick()
    // A row that cannot be ticked keeps its selection as its tick.
    if (alive)
        showTick(row, model()->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked);
}

void PickerTickSelection::select(const QItemSelection& selection, SelectionFlags command)
{
    if (showing_)
        QItemSelectionModel::select(selection, command);
}

void PickerTickSelection::showTicks(const QItemSelection& ticked)
{
    showing_ = true;
    QItemSelectionModel::select(ticked, ClearAndSelect);
    showing_ = false;
}

void PickerTickSelection::showTick(int row, bool ticked)
{
    const QModelIndex index = model()->index(row, 0);
    if (!index.isValid() || isSelected(index) == ticked)
        return;
    showing_ = true;
    QItemSelectionModel::select(index, ticked ? Select : Deselect);
    showing_ = false;
}

} // namespace medialibrary
