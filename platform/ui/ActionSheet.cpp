#include "platform/ui/ActionSheet.h"

#include <memory>

#include "platform/ui/Accessibility.h"

#include "platform/ui/Animation.h"
#include "platform/ui/Overlay.h"
#include "platform/ui/Style.h"
#include "platform/ui/Theme.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

// The menu on screen: the dimmed overlay with the box of buttons.
class SheetOverlay : public Overlay {
public:
    ~SheetOverlay() override { *alive_ = false; }

    SheetOverlay(QWidget* host, ActionSheet* sheet) : Overlay(host), sheet_(sheet)
    {
        box_ = makeMenuBox(this);
        auto* layout = new QVBoxLayout(box_);
        layout->setContentsMargins(10, 10, 10, 10);
        layout->setSpacing(7);
        if (!sheet->title().isEmpty()) {
            auto* title = new QLabel(sheet->title(), box_);
            title->setAlignment(Qt::AlignCenter);
            title->setWordWrap(true);
            title->setFont(theme::systemFont(13));
            title->setStyleSheet(QStringLiteral("color: rgb(200, 200, 205);"));
            layout->addWidget(title);
            layout->addSpacing(2);
        }
        for (int i = 0; i < sheet->numberOfButtons(); ++i) {
            if (i == sheet->cancelButtonIndex() && i > 0)
                layout->addSpacing(6);
            auto* button = new QPushButton(sheet->buttonTitleAtIndex(i), box_);
            button->setFixedHeight(40);
            button->setFocusPolicy(Qt::TabFocus); // reachable by keyboard; a tap takes no focus
            if (i == sheet->destructiveButtonIndex())
                button->setStyleSheet(QStringLiteral("color: rgb(255, 90, 80);"));
            else if (i == sheet->cancelButtonIndex())
                button->setStyleSheet(QStringLiteral("color: white;"));
            connect(button, &QPushButton::clicked, this, [this, i] { pressed(i); });
            buttons_.push_back(button);
            layout->addWidget(button);
        }
        layout_ = layout;
        placeBox();
    }

    // The box stands at the bottom, across the window up to a width that
    // keeps a menu's proportions on a wide one, centred.
    void placeBox()
    {
        const int w = std::min(width() - 16, kMaxWidth);
        box_->setFixedWidth(w);
        // Without a (word-wrapped) title the layout has no height-for-width
        // and totalHeightForWidth() answers -1: take its size hint then.
        const int h = layout_->hasHeightForWidth() ? layout_->totalHeightForWidth(w) : layout_->totalSizeHint().height();
        shown_ = QRect((width() - w) / 2, height() - h - 8, w, h);
        hiddenFrame_ = shown_.translated(0, h + 16);
    }

    void slideIn()
    {
        box_->setGeometry(hiddenFrame_);
        show();
        raise();
        // A keyboard user lands in the menu, on its first button.
        if (!buttons_.empty())
            buttons_.front()->setFocus(Qt::OtherFocusReason);
        animate(ActionSheet::kSlideDuration, [this] { setFrame(box_, shown_); });
    }

    void slideOut(bool animated)
    {
        for (QPushButton* b : buttons_)
            b->setEnabled(false);
        if (!animated) {
            hide();
            deleteLater();
            return;
        }
        // The slide's end may come while this overlay is being destroyed (its
        // parent goes first, taking the box and the animation with it): then
        // there is nothing left to hide.
        animate(ActionSheet::kSlideDuration, [this] { setFrame(box_, hiddenFrame_); },
                [alive = alive_, widget = static_cast<QWidget*>(this)](bool) {
                    if (*alive) {
                        widget->hide();
                        widget->deleteLater();
                    }
                });
    }

    QAbstractButton* button(int index) const
    {
        return index >= 0 && index < static_cast<int>(buttons_.size()) ? buttons_[static_cast<std::size_t>(index)] : nullptr;
    }

protected:
    void layoutContent() override
    {
        placeBox();
        // A menu that is on its way out keeps going; one that is in, or
        // coming in, stands where it belongs in the window as it is now.
        if (!done_ && isVisible())
            setFrame(box_, shown_);
    }

private:
    static constexpr int kMaxWidth = 400;

    void pressed(int index)
    {
        if (done_)
            return;
        done_ = true;
        if (sheet_)
            sheet_->clicked(this, index);
        else
            slideOut(true);
    }

    QPointer<ActionSheet> sheet_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true); // false once destruction has begun
    QWidget* box_;
    QVBoxLayout* layout_ = nullptr;
    std::vector<QPushButton*> buttons_;
    QRect shown_, hiddenFrame_;
    bool done_ = false;
};

ActionSheet::ActionSheet(const QString& title, ActionSheetDelegate* delegate, const QString& cancelButtonTitle,
                         const QString& destructiveButtonTitle, const QStringList& otherButtonTitles, QObject* parent)
    : QObject(parent), title_(title), delegate_(delegate)
{
    if (!destructiveButtonTitle.isEmpty()) {
        destructiveIndex_ = 0;
        titles_.append(destructiveButtonTitle);
    }
    titles_.append(otherButtonTitles);
    if (!cancelButtonTitle.isEmpty()) {
        cancelIndex_ = static_cast<int>(titles_.size());
        titles_.append(cancelButtonTitle);
    }
}

ActionSheet::~ActionSheet()
{
    if (overlay_)
        overlay_->slideOut(false);
}

void ActionSheet::showInView(QWidget* view)
{
    if (!view)
        return;
    if (overlay_)
        overlay_->slideOut(false);
    overlay_ = new SheetOverlay(view, this);
    overlay_->slideIn();
}

void ActionSheet::dismissWithClickedButtonIndex(int, bool animated)
{
    if (SheetOverlay* overlay = overlay_) {
        overlay_ = nullptr;
        overlay->slideOut(animated);
    }
}

bool ActionSheet::isVisible() const
{
    return overlay_ != nullptr;
}

QAbstractButton* ActionSheet::buttonAtIndex(int index) const
{
    return overlay_ ? overlay_->button(index) : nullptr;
}

void ActionSheet::clicked(SheetOverlay* overlay, int index)
{
    if (overlay_ == overlay)
        overlay_ = nullptr;
    overlay->slideOut(true);
    if (delegate_)
        delegate_->actionSheet(this, index);
}

} // namespace ui
