#pragma once
// View styling in the manner of a phone's view layer: background colour,
// alpha, clipping to bounds and the layer's corner radius, border width and
// border colour, for any QWidget. Also frames, tags, subviews and the colours
// of the application's look.
//
//   ui::setBackgroundColor(box, Qt::transparent);
//   ui::setClipsToBounds(box, true);
//   ui::Layer::of(box)->setCornerRadius(10);
//   ui::Layer::of(box)->setBorderWidth(2);
//   ui::Layer::of(box)->setBorderColor(Qt::white);
//   ui::setAlpha(box, 0.8);
//
// The background is painted under the widget's own content; the border is
// drawn above the widget's children (as a layer border is), and clipping cuts
// the widget and its children to the rounded outline.

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QRect>

class QWidget;

namespace ui {

// The light blue accent (red 0.35, green 0.75, blue 0.99).
QColor accentColor();
// A colour from components in 0..1, as a phone's colour constructors take them.
QColor colorWithRed(double red, double green, double blue, double alpha = 1.0);
QColor colorWithWhite(double white, double alpha = 1.0);

class BorderOverlay;

// The styling state of one view. Created on first use, owned by the view.
class Layer : public QObject {
    Q_OBJECT
public:
    static Layer* of(QWidget* view);
    // The layer of `view` if it has one, else nullptr.
    static Layer* existing(const QWidget* view);

    void setCornerRadius(double radius);
    double cornerRadius() const { return cornerRadius_; }
    void setBorderWidth(double width);
    double borderWidth() const { return borderWidth_; }
    void setBorderColor(const QColor& color);
    QColor borderColor() const { return borderColor_; }
    // Clip the view and its children to the (rounded) bounds.
    void setMasksToBounds(bool clip);
    bool masksToBounds() const { return masksToBounds_; }
    void setBackgroundColor(const QColor& color);
    QColor backgroundColor() const { return backgroundColor_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit Layer(QWidget* view);
    void updateMask();
    void updateBorder();

    QWidget* view_;
    QPointer<BorderOverlay> border_;
    double cornerRadius_ = 0;
    double borderWidth_ = 0;
    QColor borderColor_ = Qt::black;
    QColor backgroundColor_ = Qt::transparent;
    bool masksToBounds_ = false;
};

// Background colour of a view; transparent ("clear") by default.
void setBackgroundColor(QWidget* view, const QColor& color);
QColor backgroundColor(const QWidget* view);

// Opacity of a view and its children, 0..1.
void setAlpha(QWidget* view, double alpha);
double alpha(const QWidget* view);

void setClipsToBounds(QWidget* view, bool clip);

// Frame in the coordinates of the superview. Inside an animate() block the
// change is recorded and played as an animation instead of applied at once.
QRect frame(const QWidget* view);
void setFrame(QWidget* view, const QRect& frame);

// Tags: an integer set on a view (in a layout as the dynamic property "tag").
int tag(const QWidget* view);
void setTag(QWidget* view, int tag);
// The view itself or the nearest descendant (breadth first) with `tag`.
QWidget* viewWithTag(QWidget* view, int tag);

// Makes `child` a subview of `parent`, on top of its siblings, and shows it
// unless it was explicitly hidden.
void addSubview(QWidget* parent, QWidget* child);
// Takes `view` out of its superview; the view is hidden, not deleted.
void removeFromSuperview(QWidget* view);

} // namespace ui
