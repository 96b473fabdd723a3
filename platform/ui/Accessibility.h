#pragma once
// What assistive technology (a screen reader, over AT-SPI) learns of views
// that Qt cannot describe by their class: a plain view that shows a progress
// value, a box that is an alert, a row that is pressed like a button. The
// view keeps its role and value in properties; an accessible interface reads
// them from there.
//
//   ui::setAccessibleRole(activityView, QAccessible::ProgressBar);
//   ui::setAccessibleValue(activityView, 42); // 0..100, announced as it changes

#include <QAccessible>

class QWidget;

namespace ui {

// Gives `view` the role `role` towards assistive technology.
void setAccessibleRole(QWidget* view, QAccessible::Role role);
// Gives `view` the role `role` and a Press action that does what Space does
// on the focused view (a table row: a tap).
void setAccessiblePressable(QWidget* view, QAccessible::Role role);
// Whether a pressable view (a row) is the selected one, as it is highlighted.
void setAccessibleSelected(QWidget* view, bool selected);
// The value of a view with the ProgressBar role, in percent (0..100).
void setAccessibleValue(QWidget* view, double percent);
double accessibleValue(const QWidget* view);

} // namespace ui
