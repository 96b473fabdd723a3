#include "platform/ui/TableView.h"

#include "platform/foundation/Localization.h"
#include "platform/foundation/Timing.h"
#include "platform/ui/Animation.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Style.h"
#include "platform/ui/Theme.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <set>

namespace ui {

namespace {
constexpr int kDeleteControlSide = 22;
constexpr int kEditingIndent = 38;
constexpr int kAccessorySide = 22;
constexpr int kMargin = 8;
constexpr int kDeleteButtonWidth = 80;
constexpr int kDeleteButtonHeight = 30;

// A replaced view may be the sender of the event being handled: let it go later.
void discard(QWidget* view)
{
    if (!view)
        return;
    view->hide();
    view->deleteLater();
}

QColor deleteRed()
{
    return QColor(214, 36, 36);
}
} // namespace

// The round red control in front of a row in editing mode: a white bar lying
// down, standing up while the row's Delete button is shown.
class DeleteControl : public QAbstractButton {
public:
    explicit DeleteControl(QWidget* parent) : QAbstractButton(parent)
    {
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(L("Delete"));
    }
    void setTurned(bool turned)
    {
        turned_ = turned;
        update();
    }
    bool isTurned() const { return turned_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
        p.setPen(QPen(Qt::white, 2));
        p.setBrush(deleteRed());
        p.drawEllipse(r);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        const QPointF c = r.center();
        const double len = r.width() * 0.55;
        const double thick = 3.0;
        if (turned_)
            p.drawRoundedRect(QRectF(c.x() - thick / 2, c.y() - len / 2, thick, len), 1, 1);
        else
            p.drawRoundedRect(QRectF(c.x() - len / 2, c.y() - thick / 2, len, thick), 1, 1);
    }

private:
    bool turned_ = false;
};

// The drawn accessory of a cell without an accessory view.
class AccessoryMark : public QWidget {
public:
    explicit AccessoryMark(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        resize(kAccessorySide, kAccessorySide);
    }
    void setType(TableViewCellAccessoryType type)
    {
        type_ = type;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(2, 2, -2, -2);
        const QPointF c = r.center();
        switch (type_) {
        case TableViewCellAccessoryType::None:
            break;
        case TableViewCellAccessoryType::DetailDisclosureButton:
            p.setPen(QPen(Qt::white, 1.5));
            p.setBrush(accentColor());
            p.drawEllipse(r);
            p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({c + QPointF(-2, -4.5), c + QPointF(2.5, 0), c + QPointF(-2, 4.5)}));
            break;
        case TableViewCellAccessoryType::DisclosureIndicator:
            p.setPen(QPen(QColor(160, 160, 160), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({c + QPointF(-2.5, -6), c + QPointF(3.5, 0), c + QPointF(-2.5, 6)}));
            break;
        case TableViewCellAccessoryType::Checkmark:
            p.setPen(QPen(accentColor(), 2.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({c + QPointF(-6, 0), c + QPointF(-1.5, 5), c + QPointF(6.5, -6)}));
            break;
        }
    }

private:
    TableViewCellAccessoryType type_ = TableViewCellAccessoryType::None;
};

// A still picture of a deleted row, fading out.
class FadingPicture : public QWidget {
public:
    FadingPicture(const QPixmap& pixmap, QWidget* parent) : QWidget(parent), pixmap_(pixmap)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    void setOpacity(double opacity)
    {
        opacity_ = opacity;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setOpacity(opacity_);
        p.drawPixmap(rect(), pixmap_);
    }

private:
    QPixmap pixmap_;
    double opacity_ = 1.0;
};

// ---------------------------------------------------------------------------
// TableViewCell

TableViewCell::TableViewCell(TableViewCellStyle, const QString& reuseIdentifier, QWidget* parent)
    : QWidget(parent), reuseIdentifier_(reuseIdentifier)
{
    resize(320, TableView::kDefaultRowHeight);
    setFocusPolicy(Qt::TabFocus); // Space or Return on a focused row taps it

    selectedView_ = new QWidget(this);
    selectedView_->setAttribute(Qt::WA_TransparentForMouseEvents);
    setBackgroundColor(selectedView_, colorWithRed(0.35, 0.75, 0.99, 0.45));
    Layer::of(selectedView_)->setCornerRadius(5);
    selectedView_->hide();

    contentView_ = new QWidget(this);
    contentView_->setAttribute(Qt::WA_TransparentForMouseEvents);
    contentView_->installEventFilter(this);
    imageView_ = new ImageView(contentView_);
    imageView_->setContentMode(ImageView::ContentMode::AspectFit);
    textLabel_ = new QLabel(contentView_);
    textLabel_->setStyleSheet(QStringLiteral("color: #ffffffff; background: transparent;"));
    textLabel_->setFont(theme::systemFont(17, true));
    textLabel_->setTextFormat(Qt::PlainText);

    accessoryMark_ = new AccessoryMark(this);
    accessoryMark_->hide();

    deleteControl_ = new DeleteControl(this);
    deleteControl_->resize(kDeleteControlSide, kDeleteControlSide);
    deleteControl_->hide();
    connect(deleteControl_, &QAbstractButton::clicked, this, [this] {
        if (table_)
            table_->deleteControlTapped(this);
    });

    layoutContent(false);
}

TableViewCell::~TableViewCell() = default;

QPushButton* TableViewCell::ensureDeleteButton()
{
    // Made on first use: most cells never show one.
    if (deleteButton_)
        return deleteButton_;
    deleteButton_ = new QPushButton(L("Delete"), this);
    deleteButton_->setObjectName(QStringLiteral("deleteConfirmationButton"));
    deleteButton_->setFocusPolicy(Qt::TabFocus);
    deleteButton_->setStyleSheet(QStringLiteral(
        "QPushButton { color: white; background-color: rgb(214, 36, 36); border: 1px solid rgb(120, 0, 0);"
        " border-radius: 6px; padding: 2px 6px; font-weight: bold; font-size: 13px; }"
        "QPushButton:pressed { background-color: rgb(160, 20, 20); }"));
    deleteButton_->resize(kDeleteButtonWidth, kDeleteButtonHeight);
    deleteButton_->hide();
    connect(deleteButton_, &QPushButton::clicked, this, [this] {
        if (table_)
            table_->deleteConfirmed(this);
    });
    return deleteButton_;
}

void TableViewCell::setTextColor(const QColor& color)
{
    if (color == textColor_)
        return;
    textColor_ = color;
    textLabel_->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(color.name(QColor::HexArgb)));
}

QAbstractButton* TableViewCell::deleteControl() const
{
    return deleteControl_;
}

void TableViewCell::setAccessoryType(TableViewCellAccessoryType type)
{
    accessoryType_ = type;
    accessoryMark_->setType(type);
    layoutContent(false);
}

void TableViewCell::setAccessoryView(QWidget* view)
{
    if (accessoryView_ == view)
        return;
    discard(accessoryView_);
    accessoryView_ = view;
    if (view) {
        const QSize size = view->size();
        view->setParent(this);
        view->resize(size);
        view->show();
    }
    layoutContent(false);
}

void TableViewCell::setBackgroundView(QWidget* view)
{
    if (backgroundView_ == view)
        return;
    discard(backgroundView_);
    backgroundView_ = view;
    if (view) {
        view->setParent(this);
        view->setAttribute(Qt::WA_TransparentForMouseEvents);
        view->setGeometry(rect());
        view->lower();
        view->show();
    }
    update();
}

void TableViewCell::setSelected(bool selected, bool)
{
    selected_ = selected;
    selectedView_->setVisible(selected_ || pressed_);
}

void TableViewCell::setEditing(bool editing, bool animated)
{
    if (!editing)
        confirming_ = false;
    editing_ = editing;
    layoutContent(animated);
}

void TableViewCell::setShowingDeleteConfirmation(bool show, bool animated)
{
    confirming_ = show && editing_;
    layoutContent(animated);
}

void TableViewCell::prepareForReuse()
{
    textLabel_->clear();
    imageView_->setImage(QImage());
    accessoryType_ = TableViewCellAccessoryType::None;
    accessoryMark_->setType(accessoryType_);
    pressed_ = false;
    selected_ = false;
    selectedView_->hide();
    editing_ = false;
    confirming_ = false;
    editingStyle_ = TableViewCellEditingStyle::None;
    layoutContent(false);
}

void TableViewCell::layoutContent(bool animated)
{
    const int w = width();
    const int h = height();
    const bool withControl = editing_ && editingStyle_ == TableViewCellEditingStyle::Delete;
    const int indent = withControl ? kEditingIndent : 0;

    // The end of the row: the Delete button while confirming, else the
    // accessory (hidden in editing mode).
    int right = w;
    deleteControl_->setTurned(confirming_);
    QWidget* accessory = accessoryView_ ? accessoryView_.data() : nullptr;
    accessoryMark_->setVisible(!accessory && accessoryType_ != TableViewCellAccessoryType::None && !editing_);
    if (accessory)
        accessory->setVisible(!editing_);
    QRect accessoryFrame;
    if (!editing_) {
        QWidget* shown = accessory ? accessory : (accessoryMark_->isVisibleTo(this) ? accessoryMark_ : nullptr);
        if (shown) {
            const QSize s = shown->size();
            accessoryFrame = QRect(w - kMargin - s.width(), (h - s.height()) / 2, s.width(), s.height());
            right = accessoryFrame.left() - 4;
        }
    }
    const QRect deleteButtonFrame(w - kMargin - kDeleteButtonWidth, (h - kDeleteButtonHeight) / 2, kDeleteButtonWidth,
                                  kDeleteButtonHeight);
    if (confirming_)
        right = deleteButtonFrame.left() - 4;
    if (confirming_)
        ensureDeleteButton();
    if (deleteButton_)
        deleteButton_->setVisible(confirming_);

    const QRect contentFrame(indent, 0, std::max(0, right - indent), h);
    const QRect controlShown(kMargin, (h - kDeleteControlSide) / 2, kDeleteControlSide, kDeleteControlSide);
    const QRect controlHidden = controlShown.translated(-kEditingIndent, 0);
    const bool controlWasVisible = deleteControl_->isVisibleTo(this);
    if (withControl && !controlWasVisible) {
        deleteControl_->setGeometry(animated ? controlHidden : controlShown);
        deleteControl_->show();
    }
    if (!withControl && controlWasVisible && !animated)
        deleteControl_->hide();

    const auto place = [&] {
        setFrame(contentView_, contentFrame);
        if (withControl || controlWasVisible)
            setFrame(deleteControl_, withControl ? controlShown : controlHidden);
        if (!accessoryFrame.isNull()) {
            QWidget* shown = accessory ? accessory : accessoryMark_;
            setFrame(shown, accessoryFrame);
        }
        if (deleteButton_)
            setFrame(deleteButton_, deleteButtonFrame);
    };
    if (animated) {
        QPointer<DeleteControl> control(deleteControl_);
        QPointer<TableViewCell> self(this);
        animate(TableView::kAnimationDuration, place, [self, control](bool) {
            if (self && control && !(self->editing_ && self->editingStyle_ == TableViewCellEditingStyle::Delete))
                control->hide();
        });
    } else {
        place();
    }

    if (backgroundView_)
        backgroundView_->setGeometry(rect());
    selectedView_->setGeometry(rect());
    selectedView_->stackUnder(contentView_);
    if (backgroundView_)
        backgroundView_->lower();
    layoutLabel();
}

void TableViewCell::layoutLabel()
{
    const int h = contentView_->height();
    int x = 10;
    const QImage image = imageView_->image();
    if (!image.isNull()) {
        QSize s = image.size();
        if (s.height() > h - 4)
            s = s.scaled(QSize(h - 4, h - 4), Qt::KeepAspectRatio);
        imageView_->setGeometry(6, (h - s.height()) / 2, s.width(), s.height());
        imageView_->show();
        x = 6 + s.width() + 8;
    } else {
        imageView_->hide();
    }
    textLabel_->setGeometry(x, 0, std::max(0, contentView_->width() - x - 4), h);
}

bool TableViewCell::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == contentView_ && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        layoutLabel();
    return QWidget::eventFilter(watched, event);
}

void TableViewCell::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutContent(false);
}

void TableViewCell::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    if (!editing_) {
        pressed_ = true;
        selectedView_->show();
    }
    event->accept();
}

void TableViewCell::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    const bool wasPressed = pressed_ || editing_;
    pressed_ = false;
    selectedView_->setVisible(selected_);
    event->accept();
    if (wasPressed && rect().contains(event->position().toPoint()) && table_)
        table_->cellTapped(this);
}

void TableViewCell::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) && table_) {
        event->accept();
        table_->cellTapped(this);
        return;
    }
    QWidget::keyPressEvent(event);
}

// The row that Tab moved to shows the highlight while it has the focus
// (focus that merely passes on when another view goes away shows nothing).
void TableViewCell::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    const bool byKeyboard = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    if (!editing_ && byKeyboard)
        selectedView_->show();
}

void TableViewCell::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    selectedView_->setVisible(selected_ || pressed_);
}

void TableViewCell::paintEvent(QPaintEvent*)
{
    if (backgroundView_)
        return;
    // Without a background view, a hairline parts the rows.
    QPainter p(this);
    p.setPen(QColor(70, 70, 70));
    p.drawLine(0, height() - 1, width(), height() - 1);
}

void TableViewCell::setImage(const QImage& image)
{
    imageView_->setImage(image);
    layoutLabel();
}

// ---------------------------------------------------------------------------
// TableView

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
