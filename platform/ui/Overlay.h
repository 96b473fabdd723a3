#pragma once
// Internal: the dimmed layer under action sheets and alerts. It covers its
// host whole and follows the host's size; what it holds is placed again by
// layoutContent() whenever that size changes.

#include <QWidget>

namespace ui {

class Overlay : public QWidget {
    Q_OBJECT
public:
    explicit Overlay(QWidget* host);

protected:
    void paintEvent(QPaintEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Places the overlay's content for its size; called after each resize of the host.
    virtual void layoutContent() {}
};

// A rounded, white-bordered box in the look of the application.
QWidget* makeMenuBox(QWidget* parent);

} // namespace ui
