#include "platform/library/PickerModel.h"

#include "platform/library/MediaPickerController.h"

#include <QPointer>
#include <QSignalBlocker>

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
    return picker_->songs()[rows_[static_cast<std::size_t>(row)]];
}

// A pass over the rows: no table to build after each search for the few
// times a row is looked up.
int PickerModel::rowOf(quint64 id) const
{
    for (std::size_t row = 0; row < rows_.size(); ++row)
        if (picker_->songs()[rows_[row]].persistentID() == id)
            return int(row);
    return -1;
}

void PickerModel::setFilter(const QString& text)
{
    const QStringList words = PickerSearch::wordsOf(text);
    // Searches whose text does not begin this one are of no more use.
    while (!earlier_.empty() && !text.startsWith(earlier_.back().text))
        earlier_.pop_back();
    beginResetModel();
    if (words.isEmpty()) {
        rows_.resize(picker_->songs().size());
        for (std::size_t i = 0; i < rows_.size(); ++i)
            rows_[i] = quint32(i);
    } else if (!earlier_.empty() && earlier_.back().text == text) {
        rows_ = earlier_.back().rows;
    } else {
        // A song that holds every word of this text holds every word of a
        // text it begins with: only the rows of that one are looked at.
        rows_ = picker_->keys_.matches(words, picker_->songs(), earlier_.empty() ? nullptr : &earlier_.back().rows);
        earlier_.push_back({text, rows_});
    }
    endResetModel();
}

void PickerModel::songsChanged()
{
    earlier_.clear();
}

void PickerModel::refreshRow(int row)
{
    if (row >= 0 && row < rowCount())
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
    {
        // At once and without telling the view: it would look at every row
        // of a selection it does not draw. The rows' ticks, which it draws,
        // come through the model.
        const QSignalBlocker quiet(this);
        QItemSelectionModel::select(ticked, ClearAndSelect);
    }
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
