#include "platform/ui/AlertView.h"

#include "platform/ui/Accessibility.h"

#include "platform/ui/Overlay.h"
#include "platform/ui/Style.h"
#include "platform/ui/Theme.h"
#include "platform/ui/Window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

class AlertOverlay : public Overlay {
public:
    AlertOverlay(QWidget* host, AlertView* alert) : Overlay(host), alert_(alert)
    {
        QWidget* box = makeMenuBox(this);
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(14, 14, 14, 12);
        layout->setSpacing(8);
        if (!alert->title().isEmpty()) {
            auto* title = new QLabel(alert->title(), box);
            title->setAlignment(Qt::AlignCenter);
            title->setWordWrap(true);
            title->setFont(theme::systemFont(16, true));
            layout->addWidget(title);
        }
        if (!alert->message().isEmpty()) {
            auto* message = new QLabel(alert->message(), box);
            message->setAlignment(Qt::AlignCenter);
            message->setWordWrap(true);
            message->setFont(theme::systemFont(14));
            message->setObjectName(QStringLiteral("message"));
            layout->addWidget(message);
        }
        layout->addSpacing(4);
        const int count = alert->numberOfButtons();
        QBoxLayout* row = count == 2 ? static_cast<QBoxLayout*>(new QHBoxLayout) : new QVBoxLayout;
        row->setSpacing(8);
        layout->addLayout(row);
        buttons_.resize(static_cast<std::size_t>(count));
        // Side by side: cancel on the left. Stacked: cancel at the bottom.
        std::vector<int> order;
        for (int i = 0; i < count; ++i)
            if (i != alert->cancelButtonIndex())
                order.push_back(i);
        if (alert->cancelButtonIndex() >= 0) {
            if (count == 2)
                order.insert(order.begin(), alert->cancelButtonIndex());
            else
                order.push_back(alert->cancelButtonIndex());
        }
        for (int i : order) {
            auto* button = new QPushButton(alert->buttonTitleAtIndex(i), box);
            button->setFixedHeight(38);
            button->setFocusPolicy(Qt::TabFocus); // reachable by keyboard; a tap takes no focus
            if (i == alert->cancelButtonIndex() && count > 1)
                button->setStyleSheet(QStringLiteral("color: white;"));
            connect(button, &QPushButton::clicked, this, [this, i] { pressed(i); });
            buttons_[static_cast<std::size_t>(i)] = button;
            row->addWidget(button);
        }
        // Towards a screen reader the box is the alert, named by its title
        // (or its message) and described by its message.
        setAccessibleRole(box, QAccessible::AlertMessage);
        box->setAccessibleName(alert->title().isEmpty() ? alert->message() : alert->title());
        box->setAccessibleDescription(alert->message());
        // The buttons in the order they are shown, from left or top.
        for (std::size_t k = 1; k < order.size(); ++k)
            QWidget::setTabOrder(buttons_[std::size_t(order[k - 1])], buttons_[std::size_t(order[k])]);
        if (!order.empty())
            firstButton_ = buttons_[std::size_t(order.front())];

        box_ = box;
        layout_ = layout;
        layoutContent();
    }

    // A keyboard user lands in the alert, on its first button.
    void takeFocus()
    {
        if (firstButton_)
            firstButton_->setFocus(Qt::OtherFocusReason);
    }

    QAbstractButton* button(int index) const
    {
        return index >= 0 && index < static_cast<int>(buttons_.size()) ? buttons_[static_cast<std::size_t>(index)] : nullptr;
    }

protected:
    // Centred in the window at every size, as wide as on a phone.
    void layoutContent() override
    {
        const int w = std::min(270, width() - 24);
        box_->setFixedWidth(w);
        const int h = std::min(layout_->totalHeightForWidth(w), height() - 16);
        box_->setGeometry((width() - w) / 2, (height() - h) / 2, w, h);
    }

public:
    void close()
    {
        for (QPushButton* b : buttons_)
            b->setEnabled(false);
        hide();
        // An alert that opened in a window of its own takes that window along.
        if (parentWidget() && parentWidget()->property("ripwell_alertHost").toBool())
            parentWidget()->deleteLater();
        else
            deleteLater();
    }

private:
    void pressed(int index)
    {
        if (done_)
            return;
        done_ = true;
        if (alert_)
            alert_->clicked(this, index);
        else
            close();
    }

    QPointer<AlertView> alert_;
    QWidget* box_ = nullptr;
    QVBoxLayout* layout_ = nullptr;
    std::vector<QPushButton*> buttons_;
    QPushButton* firstButton_ = nullptr;
    bool done_ = false;
};

AlertView::AlertView(const QString& title, const QString& message, AlertViewDelegate* delegate,
                     const QString& cancelButtonTitle, const QStringList& otherButtonTitles, QObject* parent)
    : QObject(parent), title_(title), message_(message), delegate_(delegate)
{
    if (!cancelButtonTitle.isEmpty()) {
        cancelIndex_ = 0;
        titles_.append(cancelButtonTitle);
    }
    titles_.append(otherButtonTitles);
}

AlertView::~AlertView() = default;

void AlertView::show()
{
    if (overlay_)
        return;
    QWidget* host = Window::keyWindow();
    if (!host) {
        host = new QWidget;
        host->setProperty("ripwell_alertHost", true);
        host->setAttribute(Qt::WA_DeleteOnClose);
        host->setFixedSize(Window::kWidth, Window::kHeight);
        host->setStyleSheet(theme::styleSheet());
        host->setWindowTitle(QStringLiteral("Ripwell"));
    }
    overlay_ = new AlertOverlay(host, this);
    overlay_->show();
    overlay_->raise();
    overlay_->takeFocus();
    if (!host->isVisible())
        host->show();
}

void AlertView::dismissWithClickedButtonIndex(int, bool)
{
    if (AlertOverlay* overlay = overlay_) {
        overlay_ = nullptr;
        overlay->close();
    }
}

bool AlertView::isVisible() const
{
    return overlay_ != nullptr;
}

QAbstractButton* AlertView::buttonAtIndex(int index) const
{
    return overlay_ ? overlay_->button(index) : nullptr;
}

void AlertView::clicked(AlertOverlay* overlay, int index)
{
    if (overlay_ == overlay)
        overlay_ = nullptr;
    overlay->close();
    if (delegate_)
        delegate_->alertView(this, index);
}

} // namespace ui
