// The picker's ticks: one song at a time, every song shown, a range, and the
// keys that do the same.
#include "platform/library/MediaPickerController.h"

#include "platform/foundation/Localization.h"
#include "platform/library/PickerModel.h"

#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>

namespace medialibrary {

void MediaPickerController::setAllowsPickingMultipleItems(bool allows)
{
    allowsMultiple_ = allows;
    if (!tickAllButton_)
        return;
    for (QWidget* tool : {static_cast<QWidget*>(tickAllButton_), static_cast<QWidget*>(untickAllButton_),
                          static_cast<QWidget*>(tickedLabel_)})
        tool->setVisible(allows);
    viewDidLayoutSubviews();
}

bool MediaPickerController::isPickable(const MediaItem& item)
{
    // A protected song may be picked: the screen that asked says it is left
    // out. A song that is no song Ripwell can read or convert stays unticked.
    return item.leftOutReason() == LeftOutReason::None || item.leftOutReason() == LeftOutReason::Protected;
}

bool MediaPickerController::isConvertible(const MediaItem& item)
{
    return item.leftOutReason() == LeftOutReason::None;
}

qsizetype MediaPickerController::positionOfRow(int row) const
{
    if (row < 0 || row >= numberOfRows())
        return -1;
    return model_ ? qsizetype(model_->songAt(row)) : row;
}

bool MediaPickerController::isRowChecked(int row) const
{
    const qsizetype position = positionOfRow(row);
    return position >= 0 && tickedAt_[std::size_t(position)];
}

std::vector<MediaItem> MediaPickerController::checkedItems() const
{
    std::vector<MediaItem> items;
    items.reserve(checked_.size());
    for (quint64 id : checked_) {
        const MediaItem item = itemWithPersistentID(id);
        if (!item.isNull())
            items.push_back(item);
    }
    return items;
}

bool MediaPickerController::setChecked(qsizetype position, bool checked)
{
    char& ticked = tickedAt_[std::size_t(position)];
    if (bool(ticked) == checked)
        return false;
    ticked = checked;
    const quint64 id = songs()[std::size_t(position)].persistentID();
    if (checked)
        checked_.push_back(id);
    else
        checked_.erase(std::find(checked_.begin(), checked_.end(), id));
    return true;
}

void MediaPickerController::retick()
{
    const std::vector<MediaItem>& listed = songs();
    tickedAt_.assign(listed.size(), 0);
    if (checked_.empty())
        return;
    QHash<quint64, qsizetype> order;
    order.reserve(qsizetype(checked_.size()));
    for (std::size_t i = 0; i < checked_.size(); ++i)
        order.insert(checked_[i], qsizetype(i));
    std::vector<char> still(checked_.size(), 0);
    for (std::size_t p = 0; p < listed.size(); ++p)
        if (const auto found = order.constFind(listed[p].persistentID()); found != order.cend()) {
            tickedAt_[p] = 1;
            still[std::size_t(*found)] = 1;
        }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < checked_.size(); ++i)
        if (still[i])
            checked_[kept++] = checked_[i];
    checked_.resize(kept);
}

void MediaPickerController::tapRow(int row)
{
    const MediaItem item = itemAtRow(row);
    if (item.isNull() || finished_ || !isPickable(item))
        return;
    if (!allowsMultiple_) {
        finished_ = true;
        if (delegate_)
            delegate_->mediaPicker(this, MediaItemCollection({item}));
        return;
    }
    const qsizetype position = positionOfRow(row);
    const bool ticks = !tickedAt_[std::size_t(position)];
    setChecked(position, ticks);
    anchorId_ = item.persistentID();
    if (model_) {
        model_->refreshRow(row);
        ticks_->showTick(row, ticks);
        updateTickControls();
    }
}

void MediaPickerController::tickAll()
{
    if (finished_ || !allowsMultiple_)
        return;
    view();
    // In the order listed: that is the order in which they are ticked.
    const int rows = model_->rowCount();
    checked_.reserve(checked_.size() + std::size_t(rows));
    bool changed = false;
    const std::vector<PickerSearch::Key>& keys = keys_.keys();
    for (int row = 0; row < rows; ++row)
        if (const quint32 song = model_->songAt(row); keys[song].convertible)
            changed = setChecked(song, true) || changed;
    if (changed)
        showTicks();
}

void MediaPickerController::untickAll()
{
    if (finished_ || checked_.empty())
        return;
    checked_.clear();
    tickedAt_.assign(tickedAt_.size(), 0);
    if (model_)
        showTicks();
}

void MediaPickerController::tickRange(int row)
{
    if (finished_ || !allowsMultiple_ || itemAtRow(row).isNull())
        return;
    view();
    const int anchor = anchorId_ != 0 ? model_->rowOf(anchorId_) : -1;
    if (anchor < 0) {
        tapRow(row); // no row to start from: the row alone
        return;
    }
    const bool ticks = tickedAt_[model_->songAt(anchor)];
    bool changed = false;
    // Ticked in the order from the anchor to the row.
    const int step = row >= anchor ? 1 : -1;
    for (int r = anchor;; r += step) {
        if (const quint32 song = model_->songAt(r); !ticks || keys_.keys()[song].convertible)
            changed = setChecked(song, ticks) || changed;
        if (r == row)
            break;
    }
    if (changed)
        showTicks();
}

void MediaPickerController::showTicks()
{
    if (!model_)
        return;
    // Rows ticked, in runs: one selection for a whole run of rows.
    QItemSelection selection;
    const int rows = model_->rowCount();
    if (!checked_.empty()) {
        for (int row = 0; row < rows;) {
            if (!tickedAt_[model_->songAt(row)]) {
                ++row;
                continue;
            }
            const int first = row;
            while (row < rows && tickedAt_[model_->songAt(row)])
                ++row;
            selection.append(QItemSelectionRange(model_->index(first), model_->index(row - 1)));
        }
    }
    ticks_->showTicks(selection);
    if (rows > 0)
        emit model_->dataChanged(model_->index(0), model_->index(rows - 1), {Qt::CheckStateRole});
    updateTickControls();
}

void MediaPickerController::updateTickControls()
{
    if (!tickedLabel_)
        return;
    tickedLabel_->setText(L("%1 ticked").arg(QLocale().toString(qlonglong(checked_.size()))));
    untickAllButton_->setEnabled(!checked_.empty());
    bool anyConvertible = false;
    for (int row = 0, rows = model_->rowCount(); row < rows && !anyConvertible; ++row)
        anyConvertible = keys_.keys()[model_->songAt(row)].convertible;
    tickAllButton_->setEnabled(anyConvertible);
}

bool MediaPickerController::eventFilter(QObject* watched, QEvent* event)
{
    // The list's own viewport, noted when it was made: events come while the
    // list is being taken down too, when it can no longer be asked.
    if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) &&
        watched == listViewport_)
        clickModifiers_ = static_cast<QMouseEvent*>(event)->modifiers();
    if (watched == list_ && event->type() == QEvent::KeyPress)
        return handleListKey(static_cast<QKeyEvent*>(event)) || ui::ViewController::eventFilter(watched, event);
    if (watched == search_ && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        // Ctrl+A ticks the songs found, as from the list, rather than select the words typed.
        auto* key = static_cast<QKeyEvent*>(event);
        const bool all = key->matches(QKeySequence::SelectAll);
        const bool none = key->keyCombination() == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_A);
        if (all || none) {
            event->accept();
            if (event->type() == QEvent::KeyPress)
                all ? tickAll() : untickAll();
            return true;
        }
    }
    return ui::ViewController::eventFilter(watched, event);
}

// Space or Return ticks the focused row; with Shift, the rows from the anchor
// to it. Shift with a key that moves the focus carries the anchor's state to
// the rows on the way.
bool MediaPickerController::handleListKey(QKeyEvent* event)
{
    const int key = event->key();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (event->matches(QKeySequence::SelectAll)) {
        tickAll();
        return true;
    }
    if (key == (Qt::Key_A) && event->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier)) {
        untickAll();
        return true;
    }
    const QModelIndex current = list_->currentIndex();
    if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (current.isValid())
            shift ? tickRange(current.row()) : tapRow(current.row());
        return true;
    }
    if (!shift || !current.isValid())
        return false;
    const int rows = model_->rowCount();
    const int page = std::max(1, list_->viewport()->height() / kRowHeight - 1);
    int to = current.row();
    switch (key) {
    case Qt::Key_Up: to -= 1; break;
    case Qt::Key_Down: to += 1; break;
    case Qt::Key_PageUp: to -= page; break;
    case Qt::Key_PageDown: to += page; break;
    case Qt::Key_Home: to = 0; break;
    case Qt::Key_End: to = rows - 1; break;
    default: return false;
    }
    to = std::clamp(to, 0, rows - 1);
    if (anchorId_ == 0 || model_->rowOf(anchorId_) < 0)
        anchorId_ = model_->item(current.row()).persistentID(); // the range starts where the focus was
    list_->selectionModel()->setCurrentIndex(model_->index(to), QItemSelectionModel::NoUpdate);
    list_->scrollTo(model_->index(to));
    tickRange(to);
    return true;
}

} // namespace medialibrary
