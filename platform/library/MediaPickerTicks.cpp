// The picker's ticks: one song at a time, every song shown, a range, and the
// keys that do the same.
#include "platform/library/MediaPickerController.h"

#include "platform/foundation/Localization.h"
#include "platform/library/PickerModel.h"

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

bool MediaPickerController::isRowChecked(int row) const
{
    const MediaItem item = itemAtRow(row);
    return !item.isNull() && checkedSet_.contains(item.persistentID());
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

bool MediaPickerController::setChecked(const MediaItem& item, bool checked)
{
    const quint64 id = item.persistentID();
    if (checkedSet_.contains(id) == checked)
        return false;
    if (checked) {
        checkedSet_.insert(id);
        checked_.push_back(id);
    } else {
        checkedSet_.remove(id);
        checked_.erase(std::find(checked_.begin(), checked_.end(), id));
    }
    return true;
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
    const bool ticks = !checkedSet_.contains(item.persistentID());
    setChecked(item, ticks);
    anchorId_ = item.persistentID();
    if (model_) {
        model_->refresh(item.persistentID());
        ticks_->showTick(row, ticks);
        updateTickControls();
    }
}

void MediaPickerController::tickAll()
{
    if (finished_ || !allowsMultiple_)
        return;
    view();
    // In the order listed: that is the order in which they were ticked.
    const int rows = model_->rowCount();
    checked_.reserve(checked_.size() + std::size_t(rows));
    bool changed = false;
    for (int row = 0; row < rows; ++row) {
        const MediaItem& item = model_->item(row);
        if (isConvertible(item))
            changed = setChecked(item, true) || changed;
    }
    if (changed)
        showTicks();
}

void MediaPickerController::untickAll()
{
    if (finished_ || checked_.empty())
        return;
    checked_.clear();
    checkedSet_.clear();
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
    const bool ticks = checkedSet_.contains(anchorId_);
    bool changed = false;
    // Unticked in the order listed, ticked in the order from the anchor.
    const int step = row >= anchor ? 1 : -1;
    for (int r = anchor;; r += step) {
        const MediaItem& item = model_->item(r);
        if (!ticks || isConvertible(item))
            changed = setChecked(item, ticks) || changed;
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
    if (!checkedSet_.isEmpty()) {
        for (int row = 0; row < rows;) {
            if (!checkedSet_.contains(model_->item(row).persistentID())) {
                ++row;
                continue;
            }
            const int first = row;
            while (row < rows && checkedSet_.contains(model_->item(row).persistentID()))
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
        anyConvertible = isConvertible(model_->item(row));
    tickAllButton_->setEnabled(anyConvertible);
}

bool MediaPickerController::eventFilter(QObject* watched, QEvent* event)
{
    if (list_ && watched == list_->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease))
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
