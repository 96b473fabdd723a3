#pragma once
// A custom-type button: it draws nothing but its background colour and its
// background image, stretched over its frame. Its touch-up-inside action
// receives the button and the touch event, so a handler can ask where the
// touch landed in any view.
//
//   auto* button = new ui::Button;
//   button->setBackgroundImage(ui::imageNamed("mail.png"));
//   button->resize(button->backgroundImage().deviceIndependentSize().toSize());
//   button->addTouchUpInsideAction(this, [this](ui::Button* b, const ui::Event& e) { mailTapped(b, e); });

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QPointF>
#include <QPointer>
#include <functional>
#include <optional>
#include <vector>

namespace ui {

// One touch of an event, at a place on the screen.
class Touch {
public:
    explicit Touch(const QPointF& globalPosition) : global_(globalPosition) {}
    QPointF globalPosition() const { return global_; }
    // The touch's place in `view`'s coordinates; for a scrolling view (a
    // table) in the coordinates of its content.
    QPoint locationInView(const QWidget* view) const;

private:
    QPointF global_;
};

class Event {
public:
    explicit Event(std::vector<Touch> touches) : touches_(std::move(touches)) {}
    const std::vector<Touch>& allTouches() const { return touches_; }
    // Any one of the touches, or nullptr when there are none.
    const Touch* anyTouch() const { return touches_.empty() ? nullptr : &touches_.front(); }

private:
    std::vector<Touch> touches_;
};

class Button : public QAbstractButton {
    Q_OBJECT
public:
    using Action = std::function<void(Button* sender, const Event& event)>;

    explicit Button(QWidget* parent = nullptr);

    QImage backgroundImage() const { return image_; }
    void setBackgroundImage(const QImage& image);
    QColor backgroundColor() const { return background_; }
    void setBackgroundColor(const QColor& color);

    // Runs `action` when a touch lifts inside the button, while `target` lives.
    // A press made by code (click()) counts as a touch at the button's centre.
    void addTouchUpInsideAction(QObject* target, Action action);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void fire();

    QImage image_;
    QColor background_ = Qt::transparent;
    std::vector<std::pair<QPointer<QObject>, Action>> actions_;
    std::optional<QPointF> releasedAt_;
};

} // namespace ui
