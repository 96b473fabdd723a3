#include "platform/ui/TableView.h"

#include "platform/foundation/Localization.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/Animation.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Style.h"
#include "platform/ui/TableViewCellParts.h"
#include "platform/ui/Theme.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <algorithm>

namespace ui {

using namespace tablecell;

TableViewCell::TableViewCell(TableViewCellStyle, const QString& reuseIdentifier, QWidget* parent)
    : QWidget(parent), reuseIdentifier_(reuseIdentifier)
{
    resize(320, TableView::kDefaultRowHeight);
    setFocusPolicy(Qt::TabFocus); // Space or Return on a focused row taps it
    setAccessiblePressable(this, QAccessible::ListItem); // and so does its Press action

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
    setAccessibleSelected(this, selected);
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
        QSize s = image.deviceIndependentSize().toSize();
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
        pressedAt_ = event->position().toPoint();
        selectedView_->show();
    }
    event->accept();
}

// A press that moves the drag distance drags the row's files out, if it has
// any; it is then no tap.
void TableViewCell::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressed_ || !(event->buttons() & Qt::LeftButton) || !table_ ||
        (event->position().toPoint() - pressedAt_).manhattanLength() < QApplication::startDragDistance())
        return QWidget::mouseMoveEvent(event);
    event->accept();
    const QPointer<TableViewCell> alive(this);
    pressed_ = false;
    selectedView_->setVisible(selected_);
    if (table_->cellDragged(this) || !alive)
        return;
    pressed_ = true; // a row with nothing to drag stays pressed
    selectedView_->show();
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

} // namespace ui
