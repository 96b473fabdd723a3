#pragma once
// Internal: the dimmed layer under action sheets and alerts.

#include <QWidget>

namespace ui {

class Overlay : public QWidget {
    Q_OBJECT
public:
    // Covers `host`: a Window below its status bar, any other widget whole.
    explicit Overlay(QWidget* host);

protected:
    void paintEvent(QPaintEvent*) override;
};

// A rounded, white-bordered box in the look of the application.
QWidget* makeMenuBox(QWidget* parent);

} // namespace ui
